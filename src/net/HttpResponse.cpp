#include "net/HttpResponse.h"

#include <algorithm>
#include <cstring>

namespace GCore {
namespace {

// A chunk-size line (with its extensions) longer than this is refused.
constexpr size_t kChunkLineLimit = 1024;
// Sizes of up to 15 hexadecimal digits: never near overflow.
constexpr int kChunkSizeDigits = 15;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The last coding of a Transfer-Encoding list.
std::string_view LastCoding(std::string_view codings) {
  const size_t comma = codings.rfind(',');
  return Trimmed(comma == std::string_view::npos ? codings : codings.substr(comma + 1));
}

}  // namespace

std::optional<std::string_view> HttpResponseHeader::Field(std::string_view name) const {
  std::string_view rest(text);
  // The first line is the status line.
  size_t lineEnd = rest.find('\n');
  while (lineEnd != std::string_view::npos) {
    rest.remove_prefix(lineEnd + 1);
    lineEnd = rest.find('\n');
    const std::string_view line = rest.substr(0, lineEnd);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    if (EqualsIgnoringCase(Trimmed(line.substr(0, colon)), name)) return Trimmed(line.substr(colon + 1));
  }
  return std::nullopt;
}

bool ParseResponseHeader(std::string text, HttpResponseHeader& header) {
  header.text = std::move(text);
  header.status = 0;
  const std::string_view statusLine = std::string_view(header.text).substr(0, header.text.find('\n'));
  const size_t version = statusLine.find("HTTP/");
  if (version == std::string_view::npos) return false;
  const size_t space = statusLine.find(' ', version);
  if (space == std::string_view::npos) return false;
  std::string_view number = statusLine.substr(space + 1);
  while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
  int status = 0;
  int digits = 0;
  for (; digits < static_cast<int>(number.size()) && digits < 4; ++digits) {
    const char c = number[digits];
    if (c < '0' || c > '9') break;
    status = status * 10 + (c - '0');
  }
  if (digits == 0 || digits == 4) return false;
  header.status = status;
  return true;
}

bool FramingOf(const HttpResponseHeader& header, BodyFraming& framing) {
  framing = BodyFraming{};
  if (header.status == 204 || header.status == 304 || (header.status >= 100 && header.status < 200)) {
    framing.kind = BodyFraming::kLength;
    return true;
  }
  if (const auto codings = header.Field("Transfer-Encoding")) {
    if (EqualsIgnoringCase(LastCoding(*codings), "chunked")) framing.kind = BodyFraming::kChunked;
    return true;
  }
  const auto length = header.Field("Content-Length");
  if (!length) return true;
  if (length->empty() || length->size() > 18) return false;
  uint64_t value = 0;
  for (const char c : *length) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  framing.kind = BodyFraming::kLength;
  framing.length = value;
  return true;
}

bool ChunkedDecoder::EndSizeLine() {
  if (sizeDigits_ == 0) return false;
  state_ = remaining_ == 0 ? State::kTrailer : State::kData;
  sizeDigits_ = 0;
  lineBytes_ = 0;
  sawCarriageReturn_ = false;
  return true;
}

bool ChunkedDecoder::EndTrailerLine() {
  if (lineBytes_ == 0) {
    state_ = State::kDone;
    return true;
  }
  lineBytes_ = 0;
  return true;
}

int64_t ChunkedDecoder::Feed(const char* data, size_t size, const Deliver& deliver) {
  size_t i = 0;
  while (i < size && state_ != State::kDone) {
    if (state_ == State::kData) {
      const size_t piece = static_cast<size_t>(std::min<uint64_t>(remaining_, size - i));
      if (!deliver(data + i, piece)) return -2;
      i += piece;
      remaining_ -= piece;
      if (remaining_ == 0) {
        state_ = State::kDataEnd;
        sawCarriageReturn_ = false;
      }
      continue;
    }
    const char c = data[i++];
    switch (state_) {
      case State::kSize: {
        if (++lineBytes_ > kChunkLineLimit) return -1;
        const int digit = HexValue(c);
        if (digit >= 0) {
          if (sawCarriageReturn_ || ++sizeDigits_ > kChunkSizeDigits) return -1;
          remaining_ = remaining_ * 16 + static_cast<uint64_t>(digit);
        } else if (c == ';' || c == ' ' || c == '\t') {
          if (sizeDigits_ == 0 || sawCarriageReturn_) return -1;
          state_ = State::kSizeExtension;
        } else if (c == '\r' && !sawCarriageReturn_) {
          sawCarriageReturn_ = true;
        } else if (c == '\n') {
          if (!EndSizeLine()) return -1;
        } else {
          return -1;
        }
        break;
      }
      case State::kSizeExtension:
        if (++lineBytes_ > kChunkLineLimit) return -1;
        if (c == '\n' && !EndSizeLine()) return -1;
        break;
      case State::kDataEnd:
        if (c == '\r' && !sawCarriageReturn_) {
          sawCarriageReturn_ = true;
        } else if (c == '\n') {
          state_ = State::kSize;
          sawCarriageReturn_ = false;
        } else {
          return -1;
        }
        break;
      case State::kTrailer:
        if (++trailerBytes_ > kHttpHeaderLimit) return -1;
        if (c == '\n') {
          EndTrailerLine();
        } else if (c != '\r') {
          ++lineBytes_;
        }
        break;
      case State::kData:
      case State::kDone:
        break;
    }
  }
  return static_cast<int64_t>(i);
}

bool ResponseReader::Fill() {
  if (begin_ == end_) {
    begin_ = end_ = 0;
  } else if (end_ == capacity_) {
    std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const int received = source_.Receive(buffer_ + end_, capacity_ - end_);
  if (received > 0) {
    end_ += static_cast<size_t>(received);
    receivedAny_ = true;
    return true;
  }
  closed_ = received == 0;
  dropped_ = received != ByteSource::kTimedOut;
  return false;
}

bool ResponseReader::ReadHeader(HttpResponseHeader& header) {
  // The header ends at two line feeds with nothing but carriage returns
  // between them.
  size_t scanned = begin_;
  bool afterLineFeed = false;
  for (;;) {
    for (; scanned < end_; ++scanned) {
      if (scanned - begin_ >= kHttpHeaderLimit) return false;
      const char c = buffer_[scanned];
      if (c == '\n') {
        if (afterLineFeed) {
          std::string_view text(buffer_ + begin_, scanned + 1 - begin_);
          begin_ = scanned + 1;
          while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
          return ParseResponseHeader(std::string(text), header);
        }
        afterLineFeed = true;
      } else if (c != '\r') {
        afterLineFeed = false;
      }
    }
    const size_t offset = scanned - begin_;
    if (!Fill()) return false;
    scanned = begin_ + offset;  // Fill may have moved the unread bytes
  }
}

bool ResponseReader::ReadBody(const BodyFraming& framing, const ChunkedDecoder::Deliver& deliver) {
  endedCleanly_ = false;
  switch (framing.kind) {
    case BodyFraming::kLength:
      return ReadLength(framing.length, deliver);
    case BodyFraming::kChunked:
      return ReadChunked(deliver);
    case BodyFraming::kUntilClose:
      return ReadUntilClose(deliver);
  }
  return false;
}

bool ResponseReader::ReadLength(uint64_t length, const ChunkedDecoder::Deliver& deliver) {
  uint64_t remaining = length;
  for (;;) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(remaining, end_ - begin_));
    if (piece > 0) {
      if (!deliver(buffer_ + begin_, piece)) return false;
      begin_ += piece;
      remaining -= piece;
    }
    // Checked before any receive: an empty body needs no wait.
    if (remaining == 0) {
      endedCleanly_ = begin_ == end_;
      return true;
    }
    begin_ = end_ = 0;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, capacity_));
    const int received = source_.Receive(buffer_, want);
    if (received <= 0) return false;
    end_ = static_cast<size_t>(received);
  }
}

bool ResponseReader::ReadChunked(const ChunkedDecoder::Deliver& deliver) {
  ChunkedDecoder decoder;
  for (;;) {
    const int64_t used = decoder.Feed(buffer_ + begin_, end_ - begin_, deliver);
    if (used < 0) return false;
    begin_ += static_cast<size_t>(used);
    if (decoder.Done()) {
      endedCleanly_ = begin_ == end_;
      return true;
    }
    if (!Fill()) return false;
  }
}

bool ResponseReader::ReadUntilClose(const ChunkedDecoder::Deliver& deliver) {
  for (;;) {
    if (end_ > begin_ && !deliver(buffer_ + begin_, end_ - begin_)) return false;
    begin_ = end_ = 0;
    if (!Fill()) return closed_;
  }
}

}  // namespace GCore
