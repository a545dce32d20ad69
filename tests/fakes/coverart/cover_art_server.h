// A stand-in for the Cover Art Archive on 127.0.0.1, for tests: the loopback web server of
// the AccurateRip fake, with the archive's paths and its redirect.
//
//   FakeCoverArtServer server;
//   server.ServeFront(releaseId, FakeCoverJpeg(2000));           // 200 at the front-500 path
//   server.ServeFrontRedirect(releaseId, "/images/1.jpg", bytes); // 307 there, 200 at the target
//   server.ServeFront(releaseId, "<html>", "text/html");         // a reply that is no image
//   server.Http().SetMode(FakeServerMode::Stall);                 // a server that never answers
//   request.server = server.Url();  ... or ZIMBAR_COVERART_SERVER=<server.Url()> for a zbmaker.
//
// A release nothing was served for is answered 404.
#pragma once

#include <cstddef>
#include <string>

#include "tests/fakes/accuraterip/accuraterip_server.h"

class FakeCoverArtServer {
 public:
  // "/release/<id>/front-500": the path the archive serves a release's front cover at.
  static std::string FrontPath(const std::string& releaseId);

  void ServeFront(const std::string& releaseId, std::string bytes, const std::string& contentType = "image/jpeg");
  // The archive's way: the front cover's path redirects (307) to `target` on this server,
  // where the bytes are.
  void ServeFrontRedirect(const std::string& releaseId, const std::string& target, std::string bytes,
                          const std::string& contentType = "image/jpeg");

  std::string Url() const { return http_.Url(); }
  bool Listening() const { return http_.Listening(); }
  // The server itself: its modes, delay and the requests it read.
  FakeAccurateRipServer& Http() { return http_; }

 private:
  FakeAccurateRipServer http_;
};

// `bytes` bytes that begin as a JPEG file does (FF D8 FF E0 "JFIF") and end with its end
// marker; the rest is filler: enough for code that tells an image by its first bytes.
std::string FakeCoverJpeg(std::size_t bytes);
// A whole 1x1 PNG image (a red pixel), 69 bytes.
std::string FakeCoverPng();
