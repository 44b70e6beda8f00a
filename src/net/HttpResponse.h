#pragma once
// Reading an HTTP/1.1 response off a byte source: the header (at most 1,024
// bytes, blank line included), its status and fields, and the body framed by
// its length, by chunks or by the end of the connection. Pure logic over a
// source: the client reads connections through it and the fuzz target reads
// its input through it. A reader belongs to the thread that made it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace GCore {

constexpr size_t kHttpHeaderLimit = 1024;

// Where a response's bytes come from: a connection, or a test's bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  static constexpr int kError = -1;     // the connection broke (a reset, say)
  static constexpr int kTimedOut = -2;  // nothing came within the time-out
  // Up to `size` bytes into `buffer`: their count, 0 when the peer closed,
  // else kError or kTimedOut.
  virtual int Receive(char* buffer, size_t size) = 0;
};

struct HttpResponseHeader {
  int status = 0;
  // The status line and the fields, each line ended by CR LF except the
  // last; the blank line that ends the header is not part of it.
  std::string text;

  // The value of the first field of that name (compared without case), with
  // the white space around it trimmed; none when the field is absent.
  std::optional<std::string_view> Field(std::string_view name) const;
};

// Reads the status out of a header text: the number after the space that
// follows "HTTP/". False when there is none.
bool ParseResponseHeader(std::string text, HttpResponseHeader& header);

// How the body of a response ends.
struct BodyFraming {
  enum Kind { kLength, kChunked, kUntilClose } kind = kUntilClose;
  uint64_t length = 0;  // for kLength
};

// The framing the header announces: chunks when the last transfer coding is
// "chunked", else the Content-Length, else the end of the connection (no
// body at all for 204). False when a Content-Length is there but is not a
// number.
bool FramingOf(const HttpResponseHeader& header, BodyFraming& framing);

// Decodes a chunked body as it arrives. Feed hands over the decoded data as
// pieces of the input (no copy) and returns how much input it used, or -1 on
// a malformed stream; Done() is true once the last chunk and its trailer
// have been read, and Feed uses nothing after that.
class ChunkedDecoder {
 public:
  using Deliver = std::function<bool(const char* data, size_t size)>;
  // -2 when `deliver` returned false.
  int64_t Feed(const char* data, size_t size, const Deliver& deliver);
  bool Done() const { return state_ == State::kDone; }

 private:
  enum class State { kSize, kSizeExtension, kData, kDataEnd, kTrailer, kDone };
  bool EndSizeLine();
  bool EndTrailerLine();

  State state_ = State::kSize;
  uint64_t remaining_ = 0;  // data bytes left in the current chunk
  int sizeDigits_ = 0;
  size_t lineBytes_ = 0;    // bytes of the current size or trailer line
  size_t trailerBytes_ = 0;
  bool sawCarriageReturn_ = false;
};

// Buffered reads of one response. The header is taken out of the buffer and
// what came with it stays there for the body, so no body byte is lost.
class ResponseReader {
 public:
  // `buffer` of `capacity` bytes is the calling thread's receive buffer.
  ResponseReader(ByteSource& source, char* buffer, size_t capacity)
      : source_(source), buffer_(buffer), capacity_(capacity) {}

  // False on a time-out, an error or a close before the blank line, on a
  // header over kHttpHeaderLimit bytes, and on a header without a status.
  bool ReadHeader(HttpResponseHeader& header);

  // Hands the body to `deliver` piece by piece as it arrives. True when the
  // body ended as its framing says; false on a time-out or an error, on a
  // close before the announced end, on a malformed chunk, and when
  // `deliver` returns false.
  bool ReadBody(const BodyFraming& framing, const ChunkedDecoder::Deliver& deliver);

  // True when the connection carried nothing beyond this response, so the
  // next request may use it (the body must have ended by length or chunks).
  bool EndedCleanly() const { return endedCleanly_; }
  // True when the peer closed or reset the connection before sending a
  // single byte (a kept connection that the server had already given up).
  bool DroppedUnused() const { return dropped_ && !receivedAny_; }

 private:
  bool Fill();  // receives more bytes into the buffer; false at close or failure
  bool ReadLength(uint64_t length, const ChunkedDecoder::Deliver& deliver);
  bool ReadChunked(const ChunkedDecoder::Deliver& deliver);
  bool ReadUntilClose(const ChunkedDecoder::Deliver& deliver);

  ByteSource& source_;
  char* buffer_;
  size_t capacity_;
  size_t begin_ = 0;  // unread bytes are [begin_, end_)
  size_t end_ = 0;
  bool closed_ = false;
  bool dropped_ = false;  // closed or broken, not timed out
  bool receivedAny_ = false;
  bool endedCleanly_ = false;
};

}  // namespace GCore
