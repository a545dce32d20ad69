// zb_fake_accuraterip_server: the loopback AccurateRip server as a program of its own (see
// accuraterip_server.h for its arguments). Runs until SIGTERM or SIGINT.
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fakes/accuraterip/accuraterip_server.h"

namespace {

int Usage(const std::string& why) {
  std::fprintf(stderr,
               "zb_fake_accuraterip_server: %s\n"
               "usage: zb_fake_accuraterip_server --port-file F [--stall | --trickle | --close]\n"
               "                                  [--delay-ms N] [--status N] [PATH=FILE]...\n",
               why.c_str());
  return 2;
}

bool WritePortFile(const std::string& path, std::uint16_t port) {
  const std::string aside = path + ".part";
  {
    std::ofstream out(aside, std::ios::trunc);
    out << port << "\n";
    if (!out.flush()) return false;
  }
  return std::rename(aside.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Blocked before the server's thread starts, so that only sigwait below takes them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::string portFile;
  FakeServerMode mode = FakeServerMode::Answer;
  long delayMs = 0;
  int status = 200;
  std::vector<std::pair<std::string, std::string>> routes;  // path, bytes
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--port-file" && hasValue) {
      portFile = argv[++i];
    } else if (argument == "--stall") {
      mode = FakeServerMode::Stall;
    } else if (argument == "--trickle") {
      mode = FakeServerMode::Trickle;
    } else if (argument == "--close") {
      mode = FakeServerMode::CloseAtOnce;
    } else if (argument == "--delay-ms" && hasValue) {
      delayMs = std::strtol(argv[++i], nullptr, 10);
    } else if (argument == "--status" && hasValue) {
      status = static_cast<int>(std::strtol(argv[++i], nullptr, 10));
    } else if (const auto equals = argument.find('='); argument.starts_with("/") && equals != std::string::npos) {
      std::ifstream in(argument.substr(equals + 1), std::ios::binary);
      if (!in) return Usage("cannot read " + argument.substr(equals + 1));
      routes.emplace_back(argument.substr(0, equals),
                          std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    } else {
      return Usage("unknown argument " + argument);
    }
  }
  if (portFile.empty()) return Usage("--port-file is missing");

  FakeAccurateRipServer server(mode);
  if (!server.Listening()) return Usage("cannot listen on 127.0.0.1");
  server.SetDelay(std::chrono::milliseconds(delayMs));
  server.SetLog(stdout);
  for (auto& [path, bytes] : routes) server.Serve(path, std::move(bytes), status);
  if (!WritePortFile(portFile, server.Port())) return Usage("cannot write " + portFile);
  std::printf("listening on %s\n", server.Url().c_str());
  std::fflush(stdout);
  int received = 0;
  sigwait(&stopSignals, &received);
  return 0;
}
