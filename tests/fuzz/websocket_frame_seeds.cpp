// Seeds of websocket_frame_fuzz: the frames of the WebSocket tests, each
// after the size of the pieces it arrives in. Usage: websocket_frame_seed_writer FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "net/WebSocketFrame.h"

namespace {

std::string Frame(uint8_t opcode, const std::string& payload, bool masked = false, bool fin = true) {
  static const uint8_t kMask[4] = {9, 8, 7, 6};
  std::vector<uint8_t> out;
  GCore::AppendWebSocketFrame(out, opcode, payload, masked ? kMask : nullptr);
  if (!fin) out[0] &= 0x7F;
  return std::string(out.begin(), out.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  const std::string seeds[] = {
      std::string(1, '\0') + Frame(GCore::kWsText, "hello"),
      std::string(1, '\3') + Frame(GCore::kWsText, "Hel", false, false) + Frame(GCore::kWsPing, "p?") +
          Frame(GCore::kWsContinuation, "lo", true, false) + Frame(GCore::kWsPong, "") +
          Frame(GCore::kWsContinuation, "!") + Frame(GCore::kWsClose, ""),
      std::string(1, '\x40') + Frame(GCore::kWsBinary, std::string(200, 'b'), true) +
          Frame(GCore::kWsText, std::string(300, 't')),
      std::string(1, '\0') + Frame(GCore::kWsBinary, std::string(70000, 'x')),
      std::string(1, '\1') + Frame(3, "x") + Frame(GCore::kWsText, "after"),
      std::string("\0\x82\x7f\x80\0\0\0\0\0\0\0", 11),
      std::string("\0\x82\xff\xff\xff\xff\xff\xff\xff\xff\xff\0\0\0\0", 15),
      std::string("\x05\x82\x7f\0\0\0\0\x04\0\0\x01", 11),
  };
  int n = 0;
  for (const std::string& seed : seeds) {
    const std::string path = std::string(argv[1]) + "/frames-" + std::to_string(++n);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 1;
    std::fwrite(seed.data(), 1, seed.size(), file);
    std::fclose(file);
  }
  return 0;
}
