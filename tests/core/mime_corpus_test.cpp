// Received mail as it comes today, built here rather than stored: each row is a message
// and what a reader must see of it (its text, its attachments as "name|type|size").

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/mime/downgrade.h"
#include "core/mime/mime_reader.h"
#include "core/mime/mime_text.h"
#include "core/mime/mime_writer.h"

namespace corvelle {
namespace {

using namespace std::string_literals;

const std::string kHead = "From: a@x\r\nSubject: s\r\nMIME-Version: 1.0\r\n";

std::string Single(const std::string& type, const std::string& encoding, const std::string& body) {
  return kHead + "Content-Type: " + type + "\r\n" +
         (encoding.empty() ? "" : "Content-Transfer-Encoding: " + encoding + "\r\n") + "\r\n" + body + "\r\n";
}

// A body part: its header lines (CR LF each), an empty line, its body.
std::string Part(const std::string& header, const std::string& body) { return header + "\r\n" + body; }

std::string Multi(const std::string& subtype, const std::vector<std::string>& parts, const std::string& b = "b1") {
  std::string text = "Content-Type: multipart/" + subtype + "; boundary=\"" + b + "\"\r\n\r\npreamble\r\n";
  for (const std::string& part : parts) text += "--" + b + "\r\n" + part + "\r\n";
  return text + "--" + b + "--\r\n";
}

const std::string kPlain = Part("Content-Type: text/plain; charset=us-ascii\r\n", "plain text");
const std::string kHtml = Part("Content-Type: text/html; charset=utf-8\r\n",
                               "<html><head><title>t</title><style>p{}</style></head><body><p>Hello&nbsp;<b>you</b>"
                               "</p><script>alert(1)</script>&#8364;5 &amp; more</body></html>");
const std::string kPdf = Part(
    "Content-Type: application/pdf; name=\"r.pdf\"\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"r.pdf\"\r\n",
    "JVBERi0xLjQK");  // "%PDF-1.4\n"

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string Listed(const MimeContent& content) {
  std::string out;
  for (const MimeAttachment& a : content.attachments)
    out += (out.empty() ? "" : ";") + a.name + "|" + a.type + "|" + std::to_string(a.size);
  return out;
}

struct Row {
  const char* name;
  std::string message, text, attachments;
};

TEST(MimeCorpus, TextAndAttachmentsAsAReaderSeesThem) {
  std::string nested = "x";
  for (int i = 0; i < 200; ++i) nested = Multi("mixed", {nested}, "n" + std::to_string(i));
  // Too deep to walk: shown as the text it is.
  std::string nested_text;
  for (char c : nested.substr(nested.find("\r\n\r\n") + 4))
    if (c != '\r') nested_text += c;
  const Row rows[] = {
      {"no MIME at all", "From: a@x\r\nSubject: s\r\n\r\nHello\r\nthere\r\n", "Hello\nthere", ""},
      {"bare LF lines", "From: a@x\nSubject: s\n\nHello\nthere\n", "Hello\nthere", ""},
      {"unlabelled 8-bit is Windows-1252", "Subject: s\r\n\r\ncaf\xe9 \x80\r\n", "caf\xc3\xa9 \xe2\x82\xac", ""},
      {"unlabelled UTF-8 stays", "Subject: s\r\n\r\ncaf\xc3\xa9\r\n", "caf\xc3\xa9", ""},
      {"ISO-8859-1 quoted-printable", Single("text/plain; charset=ISO-8859-1", "quoted-printable", "caf=E9 =\r\nsoft"),
       "caf\xc3\xa9 soft", ""},
      {"ISO-8859-15 euro", Single("text/plain; charset=iso-8859-15", "8bit", "\xa4 5"), "\xe2\x82\xac 5", ""},
      {"Windows-1252 quotes", Single("text/plain; charset=windows-1252", "8bit", "\x93q\x94 \x80"),
       "\xe2\x80\x9cq\xe2\x80\x9d \xe2\x82\xac", ""},
      {"KOI8-R", Single("text/plain; charset=koi8-r", "8bit", "\xf0\xd2\xc9\xd7\xc5\xd4"),
       "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", ""},
      {"ISO-2022-JP", Single("text/plain; charset=ISO-2022-JP", "7bit", "\x1b$B$3$s$K$A$O\x1b(B"),
       "\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf", ""},
      {"UTF-8 base64", Single("text/plain; charset=utf-8", "base64", "R3LDvMOfZQ=="), "Gr\xc3\xbc\xc3\x9f" "e", ""},
      {"UTF-8 label on Latin-1 bytes", Single("text/plain; charset=utf-8", "8bit", "caf\xe9"), "caf\xc3\xa9", ""},
      {"unknown charset", Single("text/plain; charset=x-nothing", "8bit", "caf\xe9"), "caf\xc3\xa9", ""},
      {"unknown transfer encoding", Single("text/plain", "x-strange", "as is"), "as is", ""},
      {"broken base64 shown as it is", Single("text/plain", "base64", "!!!$$$***"), "!!!$$$***", ""},
      {"HTML only", Single("text/html; charset=utf-8", "", "<p>A&lt;B</p><br>next&#x41;"), "A<B\n\nnextA", ""},
      {"alternative prefers plain", kHead + Multi("alternative", {kPlain, kHtml}), "plain text", ""},
      {"alternative, plain second", kHead + Multi("alternative", {kHtml, kPlain}), "plain text", ""},
      {"alternative of HTML in related", kHead + Multi("alternative", {Multi("related", {kHtml}, "b2")}),
       "Hello you\n\xe2\x82\xac" "5 & more", ""},
      {"mixed: text and PDF", kHead + Multi("mixed", {kPlain, kPdf}), "plain text", "r.pdf|application/pdf|9"},
      {"nested: alternative and PDF", kHead + Multi("mixed", {Multi("alternative", {kPlain, kHtml}, "b2"), kPdf}),
       "plain text", "r.pdf|application/pdf|9"},
      {"two inline texts joined", kHead + Multi("mixed", {kPlain, kPlain}), "plain text\nplain text", ""},
      {"text attachment is no text",
       kHead + Multi("mixed", {kPlain, Part("Content-Type: text/plain\r\nContent-Disposition: attachment; "
                                            "filename=notes.txt\r\n",
                                            "notes")}),
       "plain text", "notes.txt|text/plain|5"},
      {"inline image without name",
       kHead + Multi("related", {kPlain, Part("Content-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n",
                                              "iVBORw==")}),
       "plain text", "|image/png|4"},
      {"encoded-word file name",
       kHead + Multi("mixed", {kPlain, Part("Content-Type: application/octet-stream; "
                                            "name=\"=?UTF-8?Q?r=C3=A9sum=C3=A9.doc?=\"\r\n",
                                            "x")}),
       "plain text", "r\xc3\xa9sum\xc3\xa9.doc|application/octet-stream|1"},
      {"RFC 2231 file name",
       kHead + Multi("mixed", {kPlain, Part("Content-Type: application/zip\r\nContent-Disposition: attachment; "
                                            "filename*=UTF-8''%C3%BCber.zip\r\n",
                                            "zz")}),
       "plain text", "\xc3\xbc" "ber.zip|application/zip|2"},
      {"attached message",
       kHead + Multi("mixed", {kPlain, Part("Content-Type: message/rfc822\r\n", "Subject: inner\r\n\r\nbody\r\n")}),
       "plain text", "|message/rfc822|24"},
      {"missing boundary parameter", kHead + "Content-Type: multipart/mixed\r\n\r\n--x\r\nContent-Type: text/plain\r\n\r\nlost\r\n--x--\r\n",
       "--x\nContent-Type: text/plain\n\nlost\n--x--", ""},
      {"boundary never closed", kHead + "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n\r\nunended text\r\n",
       "unended text", ""},
      {"boundary never used", kHead + "Content-Type: multipart/mixed; boundary=q\r\n\r\nonly text\r\n",
       "only text", ""},
      {"NUL bytes kept", Single("text/plain", "8bit", "a\0b"s), "a\0b"s, ""},
      {"header only", "Subject: s\r\n", "", ""},
      {"empty file", "", "", ""},
      {"multipart nested 200 deep", kHead + nested, Trimmed(nested_text), ""},
  };
  for (const Row& row : rows) {
    MimeContent content = ReadMimeContent(row.message);
    EXPECT_EQ(Trimmed(content.text), row.text) << row.name;
    EXPECT_EQ(Listed(content), row.attachments) << row.name;
  }
}

TEST(MimeCorpus, TwentyMegabyteAttachmentListsAndExtracts) {
  std::string data(20 * 1024 * 1024, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + (i >> 13));
  std::string b64;
  for (const std::string& line : Base64Lines(data)) b64 += line + "\r\n";
  {
    const std::string message =
        kHead + Multi("mixed", {kPlain, Part("Content-Type: application/octet-stream; name=big.bin\r\n"
                                             "Content-Transfer-Encoding: base64\r\n",
                                             b64)});
    MimeContent content = ReadMimeContent(message);
    EXPECT_EQ(Trimmed(content.text), "plain text");
    EXPECT_EQ(Listed(content), "big.bin|application/octet-stream|" + std::to_string(data.size()));
    std::string back;
    ASSERT_TRUE(ExtractAttachment(message, 0, back));
    EXPECT_TRUE(back == data);
    EXPECT_FALSE(ExtractAttachment(message, 1, back));
  }
}

TEST(MimeHeaders, EncodedWordsDecodeToUtf8) {
  const std::pair<std::string, std::string> rows[] = {
      {"=?UTF-8?Q?Caf=C3=A9?=", "Caf\xc3\xa9"},
      {"=?iso-8859-1?b?Y2Fm6Q==?= au lait", "caf\xc3\xa9 au lait"},
      {"=?UTF-8?Q?a?= =?UTF-8?Q?b?=", "ab"},  // blanks between adjacent words go
      {"=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=", "\xe3\x81\x93\xe3\x82\x93"},
      {"=?koi8-r?Q?=F0=D2?=", "\xd0\x9f\xd1\x80"},
      {"raw caf\xe9", "raw caf\xc3\xa9"},
      {"folded\r\n =?UTF-8?Q?x?=", "folded x"},
      {"=?broken?Q", "=?broken?Q"},
  };
  for (const auto& [raw, decoded] : rows) EXPECT_EQ(DecodeHeaderText(raw), decoded) << raw;
  // A decoded name with a comma is quoted: the address list still splits where it did.
  const std::vector<std::string> lines = DecodedMessageLines(
      "Subject: =?UTF-8?Q?Caf=C3=A9?=\r\nFrom: =?UTF-8?Q?Jos=C3=A9?=\r\n <j@x>\r\n"
      "Cc: =?UTF-8?Q?Doe=2C_J=C3=BC?= <d@x>, e@x\r\nTo: a@x (Ann)\r\n\r\nbody\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"Subject: Caf\xc3\xa9", "From: Jos\xc3\xa9 <j@x>",
                                             "Cc: \"Doe, J\xc3\xbc\" <d@x>, e@x", "To: a@x (Ann)", "", "body"}));
}

// The wire copy for a 7-bit server: 8-bit parts become quoted-printable and read back the
// same; what is 7-bit already passes byte for byte.
TEST(MimeDowngrade, EightBitPartsBecomeQuotedPrintable) {
  const std::string ascii = Single("text/plain", "7bit", "plain");
  EXPECT_EQ(DowngradeTo7Bit(ascii), ascii);
  const std::string single = Single("text/plain; charset=UTF-8", "8bit", "caf\xc3\xa9");
  const std::string mixed = kHead + Multi("mixed", {Part("Content-Type: text/plain; charset=UTF-8\r\n"
                                                         "Content-Transfer-Encoding: 8bit\r\n",
                                                         "Gr\xc3\xbc\xc3\x9f" "e"),
                                                    kPdf});
  for (const std::string& message : {single, mixed}) {
    const std::string wire = DowngradeTo7Bit(message);
    for (unsigned char c : wire) ASSERT_LT(c, 0x80) << message;
    EXPECT_NE(wire.find("quoted-printable"), std::string::npos);
    EXPECT_EQ(Trimmed(ReadMimeContent(wire).text), Trimmed(ReadMimeContent(message).text));
    EXPECT_EQ(Listed(ReadMimeContent(wire)), Listed(ReadMimeContent(message)));
  }
}

}  // namespace
}  // namespace corvelle
