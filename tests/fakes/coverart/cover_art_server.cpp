// The loopback Cover Art Archive: routes of the shared loopback web server.
#include "tests/fakes/coverart/cover_art_server.h"

std::string FakeCoverArtServer::FrontPath(const std::string& releaseId) {
  return "/release/" + releaseId + "/front-500";
}

void FakeCoverArtServer::ServeFront(const std::string& releaseId, std::string bytes, const std::string& contentType) {
  http_.Serve(FrontPath(releaseId), std::move(bytes), 200, "Content-Type: " + contentType + "\r\n");
}

void FakeCoverArtServer::ServeFrontRedirect(const std::string& releaseId, const std::string& target,
                                            std::string bytes, const std::string& contentType) {
  http_.Serve(FrontPath(releaseId), "See " + target + "\n", 307,
              "Location: " + http_.Url() + target + "\r\nContent-Type: text/plain\r\n");
  http_.Serve(target, std::move(bytes), 200, "Content-Type: " + contentType + "\r\n");
}

std::string FakeCoverJpeg(std::size_t bytes) {
  std::string jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
  std::size_t i = 0;
  while (jpeg.size() + 2 < bytes) jpeg.push_back(static_cast<char>((i++ * 37) & 0x7F));
  jpeg += "\xFF\xD9";
  return jpeg;
}

std::string FakeCoverPng() {
  static const unsigned char kPng[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
      0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x77, 0x53,
      0xDE, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x08, 0xD7, 0x63, 0xF8, 0xCF, 0xC0, 0x00,
      0x00, 0x03, 0x01, 0x01, 0x00, 0x18, 0xDD, 0x8D, 0xB0, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E,
      0x44, 0xAE, 0x42, 0x60, 0x82};
  return std::string(reinterpret_cast<const char*>(kPng), sizeof kPng);
}
