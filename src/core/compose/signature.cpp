#include "core/compose/signature.h"

#include "core/store/message_text.h"
#include "platform/paths.h"

namespace corvelle {

SignatureBlock ReadSignatureBlock(const std::string& path) {
  SignatureBlock block;
  std::vector<std::string> file_lines;
  if (path.empty() || !FileExists(path) || !ReadMessageLines(path, file_lines)) return block;
  block.count = file_lines.size();
  block.lines.reserve(file_lines.size() + 1);
  block.lines.push_back("--");
  for (std::string& line : file_lines) block.lines.push_back(std::move(line));
  return block;
}

size_t CaretLinesFromEnd(const SignatureBlock& signature, bool is_reply) {
  if (!signature.appended()) return 0;
  return signature.count + (is_reply ? 3 : 2);
}

}  // namespace corvelle
