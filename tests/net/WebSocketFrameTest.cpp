// The WebSocket frame format alone: the client's frames in each length form,
// and the reader's handling of fragments, control frames, split input and
// declared lengths over the limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/WebSocketFrame.h"

namespace {

using GCore::AppendWebSocketFrame;
using GCore::WebSocketFrameReader;
using Kind = GCore::WebSocketFrameReader::Kind;

std::string Frame(uint8_t opcode, const std::string& payload, const uint8_t* mask = nullptr, bool fin = true) {
  std::vector<uint8_t> out;
  AppendWebSocketFrame(out, opcode, payload, mask);
  if (!fin) out[0] &= 0x7F;
  return std::string(out.begin(), out.end());
}

// Every event the reader gives for the bytes, fed in pieces of `step`.
std::vector<WebSocketFrameReader::Event> Events(const std::string& bytes, size_t step) {
  WebSocketFrameReader reader;
  std::vector<WebSocketFrameReader::Event> events;
  for (size_t at = 0; at < bytes.size(); at += step) {
    const std::string piece = bytes.substr(at, step);
    reader.Append(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
    WebSocketFrameReader::Event event;
    while (reader.Next(event)) events.push_back(event);
  }
  return events;
}

TEST(WebSocketFrame, ShortestLengthFormAndMasking) {
  const uint8_t mask[4] = {1, 2, 3, 4};
  struct Case {
    size_t size;
    size_t headerSize;
    uint8_t lengthCode;
  };
  for (const Case& c : {Case{0, 6, 0}, Case{125, 6, 125}, Case{126, 8, 126}, Case{200, 8, 126},
                        Case{65535, 8, 126}, Case{65536, 14, 127}, Case{70000, 14, 127}}) {
    const std::string payload(c.size, 'p');
    const std::string frame = Frame(GCore::kWsText, payload, mask);
    ASSERT_EQ(frame.size(), c.headerSize + c.size) << c.size;
    EXPECT_EQ(static_cast<uint8_t>(frame[0]), 0x81) << c.size;
    EXPECT_EQ(static_cast<uint8_t>(frame[1]), 0x80 | c.lengthCode) << c.size;
    uint64_t length = c.lengthCode;
    if (c.lengthCode >= 126) {
      length = 0;
      for (size_t i = 2; i < c.headerSize - 4; ++i) length = (length << 8) | static_cast<uint8_t>(frame[i]);
    }
    EXPECT_EQ(length, c.size);
    EXPECT_EQ(frame.substr(c.headerSize - 4, 4), "\x01\x02\x03\x04") << c.size;
    for (size_t i = 0; i < c.size; ++i) {
      ASSERT_EQ(static_cast<char>(frame[c.headerSize + i] ^ mask[i % 4]), 'p') << c.size << " at " << i;
    }
    // The reader takes the client's own frames back, whole and in pieces.
    for (size_t step : {size_t{1}, size_t{7}, frame.size()}) {
      const auto events = Events(frame, step);
      ASSERT_EQ(events.size(), 1u) << c.size;
      EXPECT_EQ(events[0].payload, payload) << c.size;
    }
  }
}

TEST(WebSocketFrame, FragmentsControlFramesAndOpcodes) {
  const uint8_t mask[4] = {9, 8, 7, 6};
  const std::string stream = Frame(GCore::kWsText, "Hel", nullptr, false) + Frame(GCore::kWsPing, "p?") +
                             Frame(GCore::kWsContinuation, "lo", mask, false) + Frame(GCore::kWsPong, "") +
                             Frame(GCore::kWsContinuation, "!") + Frame(GCore::kWsBinary, std::string("\0\1", 2)) +
                             Frame(GCore::kWsClose, "") + Frame(3, "x") + Frame(GCore::kWsText, "after");
  for (size_t step : {size_t{1}, size_t{3}, stream.size()}) {
    const auto events = Events(stream, step);
    ASSERT_EQ(events.size(), 6u) << step;
    EXPECT_EQ(events[0].kind, Kind::kPing);
    EXPECT_EQ(events[0].payload, "p?");
    EXPECT_EQ(events[1].kind, Kind::kMessage);
    EXPECT_EQ(events[1].payload, "Hello!");
    EXPECT_EQ(events[2].payload, std::string("\0\1", 2));
    EXPECT_EQ(events[3].kind, Kind::kClose);
    EXPECT_EQ(events[4].kind, Kind::kUnexpected);
    EXPECT_EQ(events[5].payload, "after");
  }
}

TEST(WebSocketFrame, LengthsOverTheLimitAreRefusedBeforeTheirBytesArrive) {
  const std::string header16("\x82\x7e", 2);
  struct Case {
    const char* name;
    std::string bytes;
    bool refused;
  };
  const Case cases[] = {
      {"2^63", std::string("\x82\x7f\x80\0\0\0\0\0\0\0", 10), true},
      {"2^64-1, wraps with the header", std::string("\x82\x7f\xff\xff\xff\xff\xff\xff\xff\xff", 10), true},
      {"2^64-1 masked", std::string("\x82\xff\xff\xff\xff\xff\xff\xff\xff\xff\0\0\0\0", 14), true},
      {"64 MiB + 1", std::string("\x82\x7f\0\0\0\0\x04\0\0\x01", 10), true},
      {"a ping of 2^63", std::string("\x89\x7f\x80\0\0\0\0\0\0\0", 10), true},
      {"64 MiB waits for its bytes", std::string("\x82\x7f\0\0\0\0\x04\0\0\0", 10), false},
      {"a 64-bit length with its header cut", std::string("\x82\x7f\x80\0\0", 5), false},
  };
  for (const Case& c : cases) {
    WebSocketFrameReader reader;
    reader.Append(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
    WebSocketFrameReader::Event event;
    EXPECT_EQ(reader.Next(event), c.refused) << c.name;
    if (!c.refused) continue;
    EXPECT_EQ(event.kind, Kind::kTooLarge) << c.name;
    EXPECT_EQ(reader.Buffered(), 0u) << c.name;
    // The stream is unusable afterwards: nothing more is taken from it.
    const std::string more = Frame(GCore::kWsText, "x");
    reader.Append(reinterpret_cast<const uint8_t*>(more.data()), more.size());
    EXPECT_FALSE(reader.Next(event)) << c.name;
  }
}

TEST(WebSocketFrame, AMessageAssembledPastTheLimitIsRefused) {
  // Three fragments of 22 MiB: the third would pass 64 MiB.
  const std::string piece(22u << 20, 'm');
  const std::string first = Frame(GCore::kWsBinary, piece, nullptr, false);
  const std::string next = Frame(GCore::kWsContinuation, piece, nullptr, false);
  WebSocketFrameReader reader;
  WebSocketFrameReader::Event event;
  for (const std::string* frame : {&first, &next}) {
    reader.Append(reinterpret_cast<const uint8_t*>(frame->data()), frame->size());
    EXPECT_FALSE(reader.Next(event));
  }
  reader.Append(reinterpret_cast<const uint8_t*>(next.data()), 10);
  ASSERT_TRUE(reader.Next(event));
  EXPECT_EQ(event.kind, Kind::kTooLarge);
}

}  // namespace
