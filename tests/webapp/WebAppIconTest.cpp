#include "webapp/WebAppIcon.h"

#include "platform/shared/CurlHttp.h"
#include "platform/shared/IcnsFile.h"
#include "platform/sim/LoopbackHttpServer.h"
#include "platform/sim/SimDesktop.h"
#include "support/HostileImages.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace quillon {
namespace {

using Reply = LoopbackHttpServer::Reply;

// A PNG of noise, so that compression cannot make it small.
std::string noisyPng(int width, int height) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  unsigned char* data = cairo_image_surface_get_data(surface);
  std::uint32_t state = 12345;
  for (int index = 0; index < cairo_image_surface_get_stride(surface) * height; ++index) {
    state = state * 1103515245 + 12345;
    data[index] = static_cast<unsigned char>(state >> 16);
  }
  for (int index = 3; index < cairo_image_surface_get_stride(surface) * height; index += 4) {
    data[index] = 255;
  }
  cairo_surface_mark_dirty(surface);
  std::string png;
  cairo_surface_write_to_png_stream(
      surface,
      [](void* closure, const unsigned char* bytes, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(bytes), length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  cairo_surface_destroy(surface);
  return png;
}

// A web site on 127.0.0.1 whose answers each test sets by path; what is not
// set answers 404.
class IconSite {
public:
  IconSite()
      : server_([this](const std::string& path) {
          const std::lock_guard lock(mutex_);
          const auto found = replies_.find(path);
          return found == replies_.end() ? Reply{404, "", Reply::Kind::Normal} : found->second;
        }) {}

  void set(const std::string& path, Reply reply) {
    const std::lock_guard lock(mutex_);
    replies_[path] = std::move(reply);
  }
  std::string origin() const { return server_.origin(); }

private:
  std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  LoopbackHttpServer server_;
};

class WebAppIconTest : public ::testing::Test {
protected:
  WebAppIconTest() {
    desktop.http().mapHost("example.com", site.origin());
    std::filesystem::create_directories(resources);
    desktop.log().takeNewLines();
  }

  std::vector<std::string> iconLog() {
    std::vector<std::string> lines;
    for (std::string& line : desktop.log().takeNewLines()) {
      if (line.starts_with("Quillon webapp:")) {
        lines.push_back(std::move(line));
      }
    }
    return lines;
  }

  IconSite site;
  SimDesktop desktop;
  std::filesystem::path resources = desktop.directories().home().value() / "Resources";
  WebAppIcon icon{{desktop.http(), desktop.platform().imageDecoder,
                   desktop.platform().webAppPackaging, desktop.directories(), desktop.log()}};
};

TEST_F(WebAppIconTest, TriesTheCandidatesInOrderUntilOneIsAnImage) {
  site.set("/apple-touch-icon-180x180.png", {404, "", Reply::Kind::Normal});
  site.set("/apple-touch-icon-precomposed.png", {200, std::string(200, 'x'), Reply::Kind::Normal});
  site.set("/apple-touch-icon.png", {200, noisyPng(48, 32), Reply::Kind::Normal});
  site.set("/favicon.png", {200, noisyPng(16, 16), Reply::Kind::Normal});

  EXPECT_TRUE(icon.downloadAndAttachIcon("https://example.com:8443/app?x=1", resources));
  EXPECT_EQ(iconLog(),
            (std::vector<std::string>{
                "Quillon webapp: trying icon https://example.com/apple-touch-icon-180x180.png",
                "Quillon webapp: trying icon "
                "https://example.com/apple-touch-icon-precomposed.png",
                "Quillon webapp: trying icon https://example.com/apple-touch-icon.png",
                "Quillon webapp: icon installed from "
                "https://example.com/apple-touch-icon.png",
            }));
  // Every size of the table, in its order, as PNG, read back from the file.
  std::ifstream file(resources / "AppIcon.icns", std::ios::binary);
  const auto elements =
      decodeIcns(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
  ASSERT_TRUE(elements);
  std::vector<std::string> types;
  for (const IcnsElement& element : *elements) {
    types.push_back(element.type);
    ASSERT_GT(element.data.size(), 8u);
    EXPECT_EQ(element.data[1], 'P');
  }
  EXPECT_EQ(types, (std::vector<std::string>{"icp4", "ic11", "icp5", "ic12", "ic07", "ic13", "ic08",
                                             "ic14", "ic09", "ic10"}));
  // The iconset it was made from is gone.
  EXPECT_TRUE(std::filesystem::is_empty(desktop.directories().temporary()));
}

TEST_F(WebAppIconTest, KeepsTheSchemeTypedAndGivesUpWithoutAnImage) {
  site.set("/favicon.ico", {200, std::string(5000, 'x'), Reply::Kind::Normal});
  site.set("/favicon.png",
           {200,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\">" +
                std::string(300, ' ') + "<rect width=\"64\" height=\"64\"/></svg>",
            Reply::Kind::Normal});

  EXPECT_FALSE(icon.downloadAndAttachIcon("http://example.com/", resources));
  const auto lines = iconLog();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[4], "Quillon webapp: trying icon http://example.com/favicon.ico");
  EXPECT_EQ(lines[5], "Quillon webapp: no usable icon found; using system default");
  EXPECT_EQ(desktop.http().requests().front(), "http://example.com/apple-touch-icon-180x180.png");
  EXPECT_FALSE(std::filesystem::exists(resources / "AppIcon.icns"));
}

TEST_F(WebAppIconTest, AnAddressWithoutHostIsNotSearched) {
  EXPECT_FALSE(icon.downloadAndAttachIcon("mailto:someone", resources));
  EXPECT_TRUE(iconLog().empty());
  EXPECT_TRUE(desktop.http().requests().empty());
}

TEST_F(WebAppIconTest, HostileServersCostNoMoreThanTheTimeOutAndTheCap) {
  site.set("/stall", {200, "", Reply::Kind::Stall});
  site.set("/endless", {200, "", Reply::Kind::EndlessBody});
  site.set("/loop", {302, "", Reply::Kind::RedirectLoop});
  site.set("/missing", {404, std::string(1000, 'x'), Reply::Kind::Normal});
  site.set("/ok", {200, "fine", Reply::Kind::Normal});
  EXPECT_EQ(icon.downloadWithTimeout("http://example.com/stall", 0.3), std::nullopt);
  EXPECT_EQ(icon.downloadWithTimeout("http://example.com/endless", 30), std::nullopt);
  EXPECT_EQ(icon.downloadWithTimeout("http://example.com/loop", 30), std::nullopt);
  EXPECT_EQ(icon.downloadWithTimeout("http://example.com/missing", 5), std::nullopt);
  EXPECT_EQ(icon.downloadWithTimeout("http://example.com/ok", 5),
            (std::vector<std::uint8_t>{'f', 'i', 'n', 'e'}));
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST_F(WebAppIconTest, ImagesDeclaringHugeSizesOrOtherFormatsAreRefusedUndecoded) {
  const ImageDecoder& decoder = desktop.platform().imageDecoder;
  constexpr int side = 1024;
  EXPECT_EQ(testimages::truncatedHugePng().size(), 473u);
  EXPECT_EQ(testimages::hugeGif().size(), 285u);
  for (const std::string& hostile :
       {testimages::hugeGif(), testimages::truncatedHugePng(), testimages::svgServedAsPng(),
        testimages::greyPng(2049, 2049), std::string("GIF87")}) {
    EXPECT_EQ(decoder.decode(bytesOf(hostile), side), std::nullopt) << hostile.substr(0, 6);
  }
  // Within the budget a large picture still comes back, scaled to the side.
  const auto large = decoder.decode(bytesOf(testimages::greyPng(2048, 2048)), side);
  ASSERT_TRUE(large);
  EXPECT_EQ(large->width, side);
  const auto small = decoder.decode(bytesOf(testimages::greyPng(4, 3)), side);
  ASSERT_TRUE(small);
  EXPECT_EQ(small->width, 4);
  EXPECT_EQ(small->height, 3);

  // The search moves past every one of them.
  site.set("/apple-touch-icon-180x180.png", {200, testimages::hugeGif(), Reply::Kind::Normal});
  site.set("/apple-touch-icon-precomposed.png",
           {200, testimages::truncatedHugePng(), Reply::Kind::Normal});
  site.set("/apple-touch-icon.png", {200, testimages::greyPng(2049, 2049), Reply::Kind::Normal});
  site.set("/favicon.png", {200, testimages::svgServedAsPng(), Reply::Kind::Normal});
  site.set("/favicon.ico", {200, noisyPng(32, 32), Reply::Kind::Normal});
  EXPECT_TRUE(icon.downloadAndAttachIcon("https://example.com/", resources));
  EXPECT_EQ(iconLog().back(),
            "Quillon webapp: icon installed from https://example.com/favicon.ico");
}

TEST_F(WebAppIconTest, ARealImageCountsFromTwoHundredAndOneBytesAndAToolFailureMovesOn) {
  EXPECT_EQ(testimages::pngOfExactSize(200).size(), 200u);
  ASSERT_TRUE(desktop.platform().imageDecoder.decode(bytesOf(testimages::pngOfExactSize(200)), 16));
  site.set("/apple-touch-icon-180x180.png",
           {200, testimages::pngOfExactSize(200), Reply::Kind::Normal});
  site.set("/apple-touch-icon-precomposed.png",
           {200, testimages::pngOfExactSize(201), Reply::Kind::Normal});
  site.set("/apple-touch-icon.png", {200, noisyPng(32, 32), Reply::Kind::Normal});
  // The first image that decodes fails in the icon tool; the next one is used.
  desktop.processes().scriptNextResult("/usr/bin/iconutil", {1, "", "iconutil: bad", nullptr});
  EXPECT_TRUE(icon.downloadAndAttachIcon("https://example.com/", resources));
  EXPECT_EQ(iconLog(),
            (std::vector<std::string>{
                "Quillon webapp: trying icon https://example.com/apple-touch-icon-180x180.png",
                "Quillon webapp: trying icon "
                "https://example.com/apple-touch-icon-precomposed.png",
                "Quillon webapp: trying icon https://example.com/apple-touch-icon.png",
                "Quillon webapp: icon installed from https://example.com/apple-touch-icon.png",
            }));

  // Alone, the 201-byte image is enough.
  std::filesystem::remove(resources / "AppIcon.icns");
  site.set("/apple-touch-icon.png", {404, "", Reply::Kind::Normal});
  EXPECT_TRUE(icon.downloadAndAttachIcon("https://example.com/", resources));
  EXPECT_EQ(iconLog().back(), "Quillon webapp: icon installed from "
                              "https://example.com/apple-touch-icon-precomposed.png");
}

TEST(CurlHttpTest, StopsABodyAtItsCap) {
  LoopbackHttpServer server([](const std::string&) {
    return Reply{200, std::string(100'000, 'x'), Reply::Kind::Normal};
  });
  SimLog log;
  CurlHttp http(log);
  EXPECT_EQ(http.get(server.origin() + "/big", Duration(5), 99'999), std::nullopt);
  const auto whole = http.get(server.origin() + "/big", Duration(5), 100'000);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(whole->body.size(), 100'000u);
}

TEST(CurlHttpTest, WithoutLibcurlNothingIsFetchedAndTheLogSaysWhyOnce) {
  LoopbackHttpServer server([](const std::string&) {
    return Reply{200, "x", Reply::Kind::Normal};
  });
  SimLog log;
  // A library that is there but is not libcurl, and one that is not there.
  CurlHttp notCurl(log, "libc.so.6");
  EXPECT_EQ(notCurl.get(server.origin() + "/", Duration(5), 10), std::nullopt);
  EXPECT_EQ(notCurl.get(server.origin() + "/", Duration(5), 10), std::nullopt);
  CurlHttp missing(log, "libquillon-no-such-library.so");
  EXPECT_EQ(missing.get(server.origin() + "/", Duration(5), 10), std::nullopt);
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                "Quillon: web addresses cannot be fetched: libc.so.6 has no curl_easy_init",
                "Quillon: web addresses cannot be fetched: libquillon-no-such-library.so: cannot "
                "open shared object file: No such file or directory"}));
}

TEST(LoopbackHttpServerTest, AFolderIsServedWithoutClimbingOutOfIt) {
  TemporaryDirectory folder;
  std::ofstream(folder.path() / "favicon.png") << "icon";
  std::ofstream(folder.path().parent_path() / "secret.txt") << "secret";
  LoopbackHttpServer server(LoopbackHttpServer::serveFolder(folder.path()));
  SimLog log;
  CurlHttp http(log);
  EXPECT_EQ(http.get(server.origin() + "/favicon.png", Duration(5), 100)->body.size(), 4u);
  EXPECT_EQ(http.get(server.origin() + "/../secret.txt", Duration(5), 100)->status, 404);
  EXPECT_EQ(http.get(server.origin() + "/%2e%2e/secret.txt", Duration(5), 100)->status, 404);
  std::filesystem::remove(folder.path().parent_path() / "secret.txt");
}

TEST(IcnsFileTest, ReadsBackWhatItWritesAndRefusesDamagedFiles) {
  const std::vector<IcnsElement> elements{{"icp4", {1, 2, 3}}, {"ic10", {}}};
  const auto bytes = encodeIcns(elements);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "icns");
  EXPECT_EQ(bytes.size(), 8u + 11 + 8);
  const auto decoded = decodeIcns(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ((*decoded)[0].type, "icp4");
  EXPECT_EQ((*decoded)[0].data, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_TRUE((*decoded)[1].data.empty());
  auto truncated = bytes;
  truncated.pop_back();
  EXPECT_FALSE(decodeIcns(truncated));
  auto lying = bytes;
  lying[15] = 200; // an element longer than the file
  EXPECT_FALSE(decodeIcns(lying));
}

} // namespace
} // namespace quillon
