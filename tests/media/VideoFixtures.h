#pragma once
// Video fixtures made by ffmpeg: colour bars with a white 16 x 16 box that
// moves 2 pixels right a picture, encoded to a raw MPEG-4 Part 2 stream
// (.m4v), and the same stream decoded by ffmpeg to RGBA as the reference.
#include <cstdint>
#include <string>
#include <vector>

namespace video {

struct Clip {
  std::string path;
  int width = 0;
  int height = 0;
  // ffmpeg's decoding of the stream, one RGBA picture per frame.
  std::vector<std::vector<uint8_t>> frames;
};

// Encodes `count` pictures of width x height with the ffmpeg encoder named
// (mpeg4 or libxvid) into `path` (its folder is made). False when ffmpeg failed.
bool EncodeClip(const std::string& path, int width, int height, int count, const std::string& encoder = "mpeg4");

// EncodeClip of one picture, then the file cut 8 bytes into that picture: a
// stream of a few dozen bytes whose headers announce a picture it does not
// hold. False when ffmpeg failed.
bool EncodeHeadersOnly(const std::string& path, int width, int height);

// EncodeClip, then ffmpeg's decoding of the clip for the reference.
bool MakeClip(const std::string& path, int width, int height, int count, Clip& clip,
              const std::string& encoder = "mpeg4");

// ffmpeg's RGBA pictures of a stream of the given size; empty when it failed.
std::vector<std::vector<uint8_t>> DecodeWithFfmpeg(const std::string& path, int width, int height);

// Mean absolute difference of the red, green and blue bytes of two RGBA
// pictures of `pixels` pixels.
double MeanDifference(const uint8_t* a, const uint8_t* b, size_t pixels);

}  // namespace video
