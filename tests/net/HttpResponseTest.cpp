// The response reader over scripted bytes: header limits and line ends,
// fields without case, framing, chunk decoding in every split of its input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HttpResponse.h"

namespace {

using GCore::BodyFraming;
using GCore::HttpResponseHeader;

// Hands out its text in pieces of a fixed size, then says closed (or fails).
class PieceSource : public GCore::ByteSource {
 public:
  PieceSource(std::string text, size_t piece, bool failAtEnd = false)
      : text_(std::move(text)), piece_(piece), failAtEnd_(failAtEnd) {}
  int Receive(char* buffer, size_t size) override {
    if (at_ == text_.size()) return failAtEnd_ ? -1 : 0;
    const size_t n = std::min({size, piece_, text_.size() - at_});
    text_.copy(buffer, n, at_);
    at_ += n;
    return static_cast<int>(n);
  }

 private:
  std::string text_;
  size_t piece_;
  bool failAtEnd_;
  size_t at_ = 0;
};

struct Read {
  bool header = false;
  bool body = false;
  int status = 0;
  std::string text;
  std::string data;
  bool clean = false;
};

Read ReadResponse(const std::string& bytes, size_t piece, bool failAtEnd = false) {
  PieceSource source(bytes, piece, failAtEnd);
  std::vector<char> buffer(4096);
  GCore::ResponseReader reader(source, buffer.data(), buffer.size());
  Read read;
  HttpResponseHeader header;
  read.header = reader.ReadHeader(header);
  read.status = header.status;
  read.text = header.text;
  if (!read.header) return read;
  BodyFraming framing;
  if (!GCore::FramingOf(header, framing)) return read;
  read.body = reader.ReadBody(framing, [&](const char* data, size_t size) {
    read.data.append(data, size);
    return true;
  });
  read.clean = reader.EndedCleanly();
  return read;
}

const std::string kChunked =
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n"
    "5\r\nhello\r\n1;ext=\"a b\"\r\n \r\nA \r\n0123456789\r\n0\r\nX-Sum: 1\r\n\r\n";

TEST(HttpResponse, ReadsEveryResponseWhateverPiecesItArrivesIn) {
  struct Case {
    const char* what;
    std::string bytes;
    int status;
    std::string data;
    bool clean;
  };
  const Case cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody", 200, "body", true},
      {"length in small letters", "HTTP/1.1 200 OK\r\ncontent-length:4\r\n\r\nbodyNEXT", 200, "body", false},
      {"bare line feeds", "HTTP/1.0 203 Fine\nCONTENT-LENGTH: 2\n\nok", 203, "ok", true},
      {"until the close", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nall of it", 200, "all of it", false},
      {"chunks", kChunked, 200, "hello 0123456789", true},
      {"no body for 204", "HTTP/1.1 204 No Content\r\n\r\n", 204, "", true},
      {"empty length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 200, "", true},
  };
  for (const Case& c : cases) {
    for (const size_t piece : {size_t{1}, size_t{3}, size_t{4096}}) {
      SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(piece));
      const Read read = ReadResponse(c.bytes, piece);
      EXPECT_TRUE(read.header);
      EXPECT_TRUE(read.body);
      EXPECT_EQ(read.status, c.status);
      EXPECT_EQ(read.data, c.data);
      // Bytes past the body are seen only when they arrived with it.
      if (c.clean || piece >= c.bytes.size()) {
        EXPECT_EQ(read.clean, c.clean);
      }
    }
  }
}

TEST(HttpResponse, RefusesWhatCannotBeReadWhole) {
  struct Case {
    const char* what;
    std::string bytes;
    bool header;
  };
  const Case cases[] = {
      {"header over 1 KiB", "HTTP/1.1 200 OK\r\nX-Big: " + std::string(1100, 'a') + "\r\n\r\nok", false},
      {"no status", "HTTP 200 OK\r\nContent-Length: 2\r\n\r\nok", false},
      {"closed in the header", "HTTP/1.1 200 OK\r\nContent-Le", false},
      {"cut body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", true},
      {"unreadable length", "HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\nok", true},
      {"chunks cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", true},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n", true},
      {"chunk without its line end", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nokX0\r\n\r\n", true},
      {"chunk size overflowing",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000000\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Read read = ReadResponse(c.bytes, 7);
    EXPECT_EQ(read.header, c.header);
    EXPECT_FALSE(read.body);
  }
  // A body that ends by the close must not end by an error.
  EXPECT_FALSE(ReadResponse("HTTP/1.1 200 OK\r\n\r\nsome", 64, true).body);
}

TEST(HttpResponse, HeaderOfExactlyTheLimitIsRead) {
  const std::string start = "HTTP/1.1 200 OK\r\nX: ";
  const std::string end = "\r\nContent-Length: 2\r\n\r\n";
  const std::string header = start + std::string(GCore::kHttpHeaderLimit - start.size() - end.size(), 'a') + end;
  ASSERT_EQ(header.size(), GCore::kHttpHeaderLimit);
  EXPECT_EQ(ReadResponse(header + "ok", 100).data, "ok");
  EXPECT_FALSE(ReadResponse(start + "a" + header.substr(start.size()) + "ok", 100).header);
}

TEST(HttpResponse, FieldsAreFoundWithoutCaseAndTrimmed) {
  HttpResponseHeader header;
  ASSERT_TRUE(GCore::ParseResponseHeader("HTTP/1.1 302 Found\r\nlocation:   http://a/b \r\nX-Empty:", header));
  EXPECT_EQ(header.status, 302);
  EXPECT_EQ(header.Field("Location").value_or("none"), "http://a/b");
  EXPECT_EQ(header.Field("x-empty").value_or("none"), "");
  EXPECT_FALSE(header.Field("Content-Length").has_value());
  // The status line is no field.
  EXPECT_FALSE(header.Field("HTTP/1.1 302 Found").has_value());
}

}  // namespace
