// PNG decoding of every colour type and depth to RGBA, the header probe,
// refusal of damaged input, and the writer's round trip.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/AllocatedBytes.h"
#include "render/PNG.h"
#include "render/PngFixtures.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool Decode(const Bytes& file, GCore::PngImage& image, bool grey = false) {
  GCore::PngMemorySource source{file.data(), file.size(), 0};
  return GCore::DecodePng(GCore::PngReadFromMemory, &source, grey, image);
}

Bytes Pixels(const GCore::PngImage& image) {
  return Bytes(image.pixels.get(),
               image.pixels.get() + static_cast<size_t>(image.width) * image.height * 4);
}

struct FormatCase {
  const char* name;
  testpng::Spec spec;
  Bytes samples;
  Bytes expected;  // RGBA
};

std::vector<FormatCase> FormatCases() {
  std::vector<FormatCase> cases;
  auto add = [&](const char* name, int w, int h, int type, int depth, Bytes samples, Bytes rgba,
                 Bytes palette = {}, Bytes trns = {}) {
    testpng::Spec spec;
    spec.width = w;
    spec.height = h;
    spec.colorType = type;
    spec.bitDepth = depth;
    spec.palette = std::move(palette);
    spec.trns = std::move(trns);
    cases.push_back({name, spec, std::move(samples), std::move(rgba)});
  };
  add("rgba8", 2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 4, 250, 251, 252, 0},
      {1, 2, 3, 4, 250, 251, 252, 0});
  add("rgb8", 2, 1, PNG_COLOR_TYPE_RGB, 8, {10, 20, 30, 40, 50, 60},
      {10, 20, 30, 255, 40, 50, 60, 255});
  add("grey8", 3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 128, 255},
      {0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255});
  add("grey1", 3, 1, PNG_COLOR_TYPE_GRAY, 1, {0b10100000},
      {255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255});
  add("grey-alpha8", 2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {7, 9, 200, 255},
      {7, 7, 7, 9, 200, 200, 200, 255});
  add("palette8 with tRNS", 3, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2},
      {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}, {255, 0, 0, 0, 255, 0, 0, 0, 255},
      {0, 128});
  add("palette2", 4, 1, PNG_COLOR_TYPE_PALETTE, 2, {0b00011011},
      {10, 11, 12, 255, 20, 21, 22, 255, 30, 31, 32, 255, 40, 41, 42, 255},
      {10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42});
  // 16-bit samples k x 257 scale exactly to k.
  add("rgba16", 1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0x0A, 0x0A, 0x14, 0x14, 0x1E, 0x1E, 0xFF, 0xFF},
      {10, 20, 30, 255});
  add("rgb16", 1, 1, PNG_COLOR_TYPE_RGB, 16, {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x80},
      {255, 0, 128, 255});
  add("grey16", 2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x40, 0x40, 0xC8, 0xC8},
      {64, 64, 64, 255, 200, 200, 200, 255});
  return cases;
}

TEST(Png, EveryColourTypeAndDepthDecodesToRgba) {
  for (const FormatCase& c : FormatCases()) {
    SCOPED_TRACE(c.name);
    GCore::PngImage image;
    ASSERT_TRUE(Decode(testpng::Encode(c.spec, c.samples), image));
    EXPECT_EQ(image.width, c.spec.width);
    EXPECT_EQ(image.height, c.spec.height);
    EXPECT_EQ(Pixels(image), c.expected);
  }
}

TEST(Png, InterlacedDecodesLikeItsPlainTwin) {
  // Sizes that leave some Adam7 passes empty and make others ragged.
  for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {13, 11}, {64, 9}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const Bytes rgba = testpng::Pattern(w, h);
    GCore::PngImage plain, interlaced;
    ASSERT_TRUE(Decode(testpng::EncodeRgba(w, h, rgba, false), plain));
    ASSERT_TRUE(Decode(testpng::EncodeRgba(w, h, rgba, true), interlaced));
    EXPECT_EQ(Pixels(plain), rgba);
    EXPECT_EQ(Pixels(interlaced), rgba);
  }
}

TEST(Png, GreyVariantTakesTheMeanOfPlainFilesOnly) {
  const Bytes rgba = {10, 20, 40, 99, 255, 254, 0, 7};
  GCore::PngImage plain;
  ASSERT_TRUE(Decode(testpng::EncodeRgba(2, 1, rgba, false), plain, true));
  EXPECT_EQ(Pixels(plain), (Bytes{23, 23, 23, 99, 169, 169, 169, 7}));
  GCore::PngImage interlaced;
  ASSERT_TRUE(Decode(testpng::EncodeRgba(2, 1, rgba, true), interlaced, true));
  EXPECT_EQ(Pixels(interlaced), rgba) << "the interlaced path keeps the colours";
}

TEST(Png, HeaderProbeReadsOnlyTheSize) {
  const Bytes file = testpng::EncodeRgba(13, 11, testpng::Pattern(13, 11));
  // The probe stops at the image data: a file cut inside it still gives its size.
  GCore::PngMemorySource source{file.data(), file.size() - 20, 0};
  int32_t w = -1, h = -1;
  ASSERT_TRUE(GCore::ReadPngHeader(GCore::PngReadFromMemory, &source, w, h));
  EXPECT_EQ(w, 13);
  EXPECT_EQ(h, 11);

  GCore::PngMemorySource tooShort{file.data(), 20, 0};
  EXPECT_FALSE(GCore::ReadPngHeader(GCore::PngReadFromMemory, &tooShort, w, h));
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST(Png, EveryTruncationFailsCleanly) {
  const Bytes file = testpng::EncodeRgba(9, 7, testpng::Pattern(9, 7), true);
  for (size_t length = 0; length < file.size(); ++length) {
    // An exact-size heap copy lets the address sanitizer catch any read past the end.
    Bytes cut(file.begin(), file.begin() + static_cast<long>(length));
    cut.shrink_to_fit();
    GCore::PngImage image;
    testing::internal::CaptureStderr();
    const bool ok = Decode(cut, image);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_FALSE(ok) << "length " << length;
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
    if (length >= 8) {
      EXPECT_NE(said.find("Read Error"), std::string::npos) << length << ": " << said;
    }
  }
}

TEST(Png, DamagedFilesFail) {
  const Bytes good = testpng::EncodeRgba(9, 7, testpng::Pattern(9, 7));
  struct Damage {
    const char* name;
    size_t offset;
    uint8_t value;
  };
  const Damage damages[] = {
      {"signature", 1, 'X'},
      {"IHDR CRC", 29, 0},
      {"IDAT data", good.size() - 20, 0x55},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    Bytes bad = good;
    bad[d.offset] ^= d.value ? d.value : 0xFF;
    GCore::PngImage image;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Decode(bad, image));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(image.pixels, nullptr);
  }
  GCore::PngImage image;
  EXPECT_FALSE(Decode(Bytes(100, 0x42), image));

  // A valid file wider than the largest accepted side is refused before any allocation.
  const int wide = static_cast<int>(GCore::kMaxPngSide) + 1;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Decode(testpng::EncodeRgba(wide, 1, Bytes(static_cast<size_t>(wide) * 4, 9)), image));
  testing::internal::GetCapturedStderr();
}

// The most heap the decoder holds at any read of the file: sampled by the
// read callback, which libpng calls before every chunk and between rows.
struct MeasuredSource {
  GCore::PngMemorySource source;
  size_t before = testmemory::AllocatedBytes();
  size_t most = 0;

  static bool Read(void* io, uint8_t* buffer, size_t length) {
    auto* self = static_cast<MeasuredSource*>(io);
    const size_t now = testmemory::AllocatedBytes();
    if (now > self->before) self->most = std::max(self->most, now - self->before);
    return GCore::PngReadFromMemory(&self->source, buffer, length);
  }
};

TEST(Png, DeclaredSizesCostNoMoreThanTheFileHolds) {
  constexpr size_t kBound = 8 << 20;  // a few rows of 64 KiB, far below any whole picture here
  const struct {
    const char* name;
    int width, height;
    bool interlaced;
    bool refused;  // by its pixel count, before any row
  } cases[] = {
      {"one row of the largest picture allowed", 8192, 8192, false, false},
      {"one row of its first interlaced pass", 8192, 8192, true, false},
      {"the largest sides, each allowed", 16384, 16384, false, true},
      {"one row past the pixel budget", 16384, 4097, false, true},
      {"interlaced past the budget", 16384, 16384, true, true},
  };
  ASSERT_EQ(uint64_t{8192} * 8192, GCore::kMaxPngPixels);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = testpng::CutShort(c.width, c.height, 1, c.interlaced);
    MeasuredSource measured{{file.data(), file.size(), 0}};
    GCore::PngImage image;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(GCore::DecodePng(MeasuredSource::Read, &measured, false, image));
    const std::string said = testing::internal::GetCapturedStdout();
    const std::string complained = testing::internal::GetCapturedStderr();
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_LT(measured.most, kBound);
    const std::string refusal = "PNG of " + std::to_string(c.width) + " x " + std::to_string(c.height) +
                                " pixels refused: more than the 67108864 pixels allowed";
    EXPECT_EQ(said.find(refusal) != std::string::npos, c.refused) << said;
    // The others fail where their rows run out.
    EXPECT_EQ(complained.find("Read Error") != std::string::npos, !c.refused) << complained;
  }
}

class PngFile : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qv-png-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::remove(Path().c_str());
    rmdir(folder_.c_str());
  }
  std::string Path() const { return folder_ + "/out.png"; }
  Bytes ReadBack() const {
    std::ifstream in(Path(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  std::string folder_;
};

TEST_F(PngFile, WrittenPixelsDecodeToTheSameBytes) {
  const Bytes rgba = testpng::Pattern(17, 5);
  ASSERT_EQ(GCore::WritePng(Path().c_str(), rgba.data(), 17, 5), 0);
  GCore::PngImage image;
  ASSERT_TRUE(Decode(ReadBack(), image));
  EXPECT_EQ(image.width, 17);
  EXPECT_EQ(image.height, 5);
  EXPECT_EQ(Pixels(image), rgba);
  // The byte order is red, green, blue, alpha in memory and in the file.
  const Bytes one = {10, 20, 30, 40};
  ASSERT_EQ(GCore::WritePng(Path().c_str(), one.data(), 1, 1), 0);
  ASSERT_TRUE(Decode(ReadBack(), image));
  EXPECT_EQ(Pixels(image), one);
}

TEST_F(PngFile, LinksAndFifosAtThePathAreReplacedNotWrittenThrough) {
  const std::string victim = folder_ + "/victim";
  std::ofstream(victim) << "not a picture";
  const Bytes one = {10, 20, 30, 40};
  GCore::PngImage image;
  const struct {
    const char* what;
    bool (*plant)(const std::string& path, const std::string& victim);
  } cases[] = {
      {"a link", [](const std::string& path, const std::string& to) { return symlink(to.c_str(), path.c_str()) == 0; }},
      // Without a reader, writing a FIFO would wait for ever.
      {"a FIFO", [](const std::string& path, const std::string&) { return mkfifo(path.c_str(), 0644) == 0; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(c.plant(Path(), victim));
    ASSERT_EQ(GCore::WritePng(Path().c_str(), one.data(), 1, 1), 0);
    struct stat info;
    ASSERT_EQ(lstat(Path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    ASSERT_TRUE(Decode(ReadBack(), image));
    EXPECT_EQ(Pixels(image), one);
    std::remove(Path().c_str());
  }
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a picture");
  std::remove(victim.c_str());
}

TEST_F(PngFile, RefusedWritesReportAndLeaveNoFile) {
  const Bytes one = {1, 2, 3, 4};
  const std::string missing = folder_ + "/no/such/folder.png";
  testing::internal::CaptureStderr();
  EXPECT_EQ(GCore::WritePng(missing.c_str(), one.data(), 1, 1), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Could not open file " + missing + " for writing\n");

  testing::internal::CaptureStderr();
  EXPECT_EQ(GCore::WritePng(Path().c_str(), nullptr, 1, 1), 1);
  testing::internal::GetCapturedStderr();
  EXPECT_NE(access(Path().c_str(), F_OK), 0);
}

// Writes in a child whose files may not grow past `limit` bytes (as on a full
// disk, the write fails with EFBIG); returns its exit code, or -1.
int WriteUnderSizeLimit(const std::string& path, const std::string& messages, const Bytes& rgba, int side,
                        rlim_t limit) {
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) _exit(90);
    dup2(out, STDERR_FILENO);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) _exit(91);
    _exit(GCore::WritePng(path.c_str(), rgba.data(), side, side));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PngFile, FailedWritesReportAndKeepTheOldFile) {
  const struct {
    const char* what;
    int side;
    rlim_t limit;
  } cases[] = {
      // Past the stdio buffer: a row's write fails inside libpng.
      {"a write fails", 256, 4096},
      // Within the stdio buffer: only the final flush fails.
      {"the close fails", 24, 100},
  };
  const std::string messages = folder_ + "/messages.txt";
  for (const auto& c : cases) {
    // Noise compresses badly, so the file outgrows the limit.
    Bytes rgba(static_cast<size_t>(c.side) * c.side * 4);
    uint32_t state = 12345;
    for (uint8_t& b : rgba) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    const std::string old = "the old picture";
    std::ofstream(Path()) << old;
    EXPECT_EQ(WriteUnderSizeLimit(Path(), messages, rgba, c.side, c.limit), 1) << c.what;
    EXPECT_EQ(ReadBack(), Bytes(old.begin(), old.end()))
        << c.what << ": the old file is kept whole";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), std::filesystem::directory_iterator()), 2)
        << c.what << ": a partial file was left beside it";
    std::ifstream in(messages);
    const std::string printed((std::istreambuf_iterator<char>(in)), {});
    // libpng names the failed write first, when it saw it.
    const std::string report = "Error during png creation\n";
    EXPECT_TRUE(printed.size() >= report.size() && printed.substr(printed.size() - report.size()) == report)
        << c.what << ": " << printed;
  }
  std::remove(messages.c_str());
}

}  // namespace
