#include "VideoFixtures.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "Mp3Fixtures.h"

namespace video {

bool EncodeClip(const std::string& path, int width, int height, int count, const std::string& encoder) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  const std::string moving = "[0][1]overlay=x='mod(n*2," + std::to_string(width > 16 ? width - 16 : 1) +
                             ")':y=" + std::to_string(height / 3) + ":shortest=1";
  return mp3::RunQuietly({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "smptebars=size=" + size + ":rate=25",
                          "-f", "lavfi", "-i", "color=white:size=16x16:rate=25", "-filter_complex", moving,
                          "-frames:v", std::to_string(count), "-c:v", encoder, "-q:v", "2", "-f", "m4v", path});
}

bool EncodeHeadersOnly(const std::string& path, int width, int height) {
  if (!EncodeClip(path, width, height, 1)) return false;
  const std::string bytes = mp3::ReadFile(path);
  const size_t picture = bytes.find(std::string("\0\0\1\xB6", 4));
  if (picture == std::string::npos || picture + 8 > bytes.size()) return false;
  mp3::WriteFile(path, bytes.substr(0, picture + 8));
  return true;
}

bool MakeClip(const std::string& path, int width, int height, int count, Clip& clip,
              const std::string& encoder) {
  if (!EncodeClip(path, width, height, count, encoder)) return false;
  clip.path = path;
  clip.width = width;
  clip.height = height;
  clip.frames = DecodeWithFfmpeg(path, width, height);
  return static_cast<int>(clip.frames.size()) == count;
}

std::vector<std::vector<uint8_t>> DecodeWithFfmpeg(const std::string& path, int width, int height) {
  const std::string raw = path + ".rgba";
  if (!mp3::RunQuietly({"ffmpeg", "-nostdin", "-y", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgba", raw})) {
    return {};
  }
  const std::string bytes = mp3::ReadFile(raw);
  std::remove(raw.c_str());
  const size_t pictureBytes = static_cast<size_t>(width) * height * 4;
  std::vector<std::vector<uint8_t>> frames;
  for (size_t at = 0; at + pictureBytes <= bytes.size(); at += pictureBytes) {
    frames.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at),
                        bytes.begin() + static_cast<ptrdiff_t>(at + pictureBytes));
  }
  return frames;
}

double MeanDifference(const uint8_t* a, const uint8_t* b, size_t pixels) {
  if (pixels == 0) return 0;
  uint64_t sum = 0;
  for (size_t i = 0; i < pixels; ++i) {
    for (size_t c = 0; c < 3; ++c) sum += static_cast<uint64_t>(std::abs(a[i * 4 + c] - b[i * 4 + c]));
  }
  return static_cast<double>(sum) / static_cast<double>(pixels * 3);
}

}  // namespace video
