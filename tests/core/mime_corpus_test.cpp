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

std::string Repeat(const std::string& piece, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += piece;
  return s;
}

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
      // UTF-8 with a bad byte keeps its letters: each bad sequence is one U+FFFD.
      {"UTF-8 with bad bytes", Single("text/plain; charset=utf-8", "8bit", "Gr\xc3\xbc\xc3\x9f \xff e\xe2\x82 \xc0\xaf"),
       "Gr\xc3\xbc\xc3\x9f \xef\xbf\xbd e\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd", ""},
      {"unlabelled UTF-8 with a bad byte", "Subject: s\r\n\r\ncaf\xc3\xa9 \x80\r\n", "caf\xc3\xa9 \xef\xbf\xbd", ""},
      {"surrogates and overlong forms are bad",
       Single("text/plain; charset=utf-8", "8bit", "\xc3\xa9\xed\xa0\x80\xe0\x80\xaf\xf4\x90\x80\x80"),
       "\xc3\xa9" + Repeat("\xef\xbf\xbd", 10), ""},
      // A type without a subtype is text/plain.
      {"text without subtype", Single("text", "", "Hello"), "Hello", ""},
      {"text without subtype, charset", Single("text; charset=iso-8859-1", "8bit", "caf\xe9"), "caf\xc3\xa9", ""},
      {"empty text parts are empty text",
       kHead + Multi("alternative", {Part("Content-Type: text/plain\r\n", ""), Part("Content-Type: text/html\r\n", "")}),
       "", ""},
      {"body without the empty line before it", "From: a@x\r\nSubject: s\r\nHello there\r\nsecond: line\r\n",
       "Hello there\nsecond: line", ""},
      {"no header at all", "Hello there\r\n\r\nbye\r\n", "Hello there\n\nbye", ""},
      {"header only", "Subject: s\r\n", "", ""},
      {"empty file", "", "", ""},
      {"multipart nested 200 deep", kHead + nested, Trimmed(nested_text), ""},
  };
  for (const Row& row : rows) {
    MimeContent content = ReadMimeContent(row.message);
    EXPECT_EQ(Trimmed(content.text), row.text) << row.name;
    EXPECT_EQ(Listed(content), row.attachments) << row.name;
    EXPECT_EQ(ReadMimeText(row.message), content.text) << row.name;  // the search's reading
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
      {"folded\r\n\tby a TAB", "folded by a TAB"},
      // Each word decoded on its own: a padded base64 word does not end the next one.
      {"=?UTF-8?B?UsO8Y2s=?=\r\n\t=?UTF-8?B?IEZvdG9z?=", "R\xc3\xbc" "ck Fotos"},
      {"=?UTF-8?Q?=C3?= =?utf-8?Q?=A9t=C3=A9?=", "\xc3\xa9t\xc3\xa9"},  // a letter split between two words
      {"=?iso-8859-1?Q?=E9?= =?UTF-8*en?Q?=C3=A9?= x =?us-ascii?Q?y?=z", "\xc3\xa9\xc3\xa9 x yz"},
      {"=?UTF-8?Q?a?=  b =?UTF-8?X?c?= =?UTF-8?B?QUI?=", "a  b =?UTF-8?X?c?= AB"},
      {"=?broken?Q", "=?broken?Q"},
      {"=?a?q?x=?UTF-8?Q?y?=", "=?a?q?xy"},  // a word that never closes is text
  };
  for (const auto& [raw, decoded] : rows) EXPECT_EQ(DecodeHeaderText(raw), decoded) << raw;
  // A hostile field of 150,000 words that never close reads as itself (and in one pass).
  std::string unclosed;
  for (int i = 0; i < 150000; ++i) unclosed += "=?a?q?x";
  EXPECT_EQ(DecodeHeaderText(unclosed), unclosed);
  // A decoded name with a comma is quoted: the address list still splits where it did.
  const std::vector<std::string> lines = DecodedMessageLines(
      "Subject: =?UTF-8?Q?Caf=C3=A9?=\r\nFrom: =?UTF-8?Q?Jos=C3=A9?=\r\n <j@x>\r\n"
      "Cc: =?UTF-8?Q?Doe=2C_J=C3=BC?= <d@x>, e@x,\r\n \"=?UTF-8?B?UsO8Y2s=?=\r\n =?UTF-8?B?IEZvdG9z?=\" <r@x>\r\n"
      "To: a@x (Ann)\r\n\r\nbody\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"Subject: Caf\xc3\xa9", "From: Jos\xc3\xa9 <j@x>",
                                             "Cc: \"Doe, J\xc3\xbc\" <d@x>, e@x, R\xc3\xbc" "ck Fotos <r@x>",
                                             "To: a@x (Ann)", "", "body"}));
}

TEST(MimeHtml, TextAsAReaderSeesIt) {
  const std::pair<std::string, std::string> rows[] = {
      {"caf&eacute; &mdash; na&iuml;ve&hellip; &rsquo;&euro;&nbsp;&amp;",
       "caf\xc3\xa9 \xe2\x80\x94 na\xc3\xafve\xe2\x80\xa6 \xe2\x80\x99\xe2\x82\xac &"},
      {"&#233;&#x2014;&unknownname;", "\xc3\xa9\xe2\x80\x94&unknownname;"},
      {"<ul><li>Item one</li><li>Item two</li></ul>Visit the shop", "Item one\nItem two\nVisit the shop"},
      {"<h5>Title</h5>text<section>more</section><blockquote>quoted</blockquote>end", "Title\ntext\nmore\nquoted\nend"},
      {"<table><tr><td>Item</td><td>5.00</td></tr><tr><td>Tax</td><td>1.00</td></tr></table>Total",
       "Item 5.00\nTax 1.00\nTotal"},
      {"See <a href=\"https://shop.example/a?b=1&amp;c=2\">the shop</a>.", "See the shop <https://shop.example/a?b=1&c=2>."},
      {"<a href=\"https://x.example/\">https://x.example/</a> <a href=\"mailto:a@x\">a@x</a> <a href=\"#top\">up</a>",
       "https://x.example/ a@x up"},
      {"<a href=\"https://x.example/\"><img src=\"logo.png\"></a>", "<https://x.example/>"},
      {"<p>one</p>\n\n<p>  two  \n lines </p><br><br><br>three", "one\ntwo lines\n\nthree"},
      {"<pre>  code\n    indented</pre>after", "  code\n    indented\nafter"},
      {"<html><head><title>t</title><style>p{}</style><script>x()</script></head><body>only</body></html>", "only"},
      {"<meta charset=\"iso-8859-1\"><p>\xc3\xa9t\xc3\xa9</p>", "\xc3\xa9t\xc3\xa9"},  // UTF-8 already
      {"unclosed <b>bold <i>and < broken", "unclosed bold and < broken"},
      {"", ""},
  };
  for (const auto& [html, text] : rows) EXPECT_EQ(HtmlToText(html), text) << html;
  // Markup nested deeper than any real mail is read without exhausting the stack.
  EXPECT_EQ(HtmlToText(Repeat("<div>", 200000) + "deep" + Repeat("</div>", 200000)), "deep");
}

// The decoded view shows the fields a reader needs; the rest is for "Show source". A
// folded field is unfolded before it is decoded.
TEST(MimeHeaders, ReaderFieldsOnly) {
  const std::string message =
      "Return-Path: <bounce@x>\r\nReceived: from a\r\n\tby b; Mon, 7 Dec 2026\r\n"
      "From: \"Doe, John\"\r\n\t<john@example.com>\r\nTo: Ann <ann@x>\r\nCc: c@x\r\nReply-To: r@x\r\n"
      "Subject: =?UTF-8?B?w6lsw6h2ZQ==?=\r\n\t=?UTF-8?Q?_et_ma=C3=AEtre?=\r\nDate: Mon, 7 Dec 2026\r\n"
      "Message-ID: <1@x>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nbody\r\n";
  EXPECT_EQ(DecodedMessageLines(message),
            (std::vector<std::string>{"From: \"Doe, John\" <john@example.com>", "To: Ann <ann@x>", "Cc: c@x",
                                      "Reply-To: r@x", "Subject: \xc3\xa9l\xc3\xa8ve et ma\xc3\xaetre",
                                      "Date: Mon, 7 Dec 2026", "", "body"}));
  const std::vector<std::string> all = DecodedMessageLines(message, HeaderFields::kAll);
  ASSERT_EQ(all.size(), 13u);
  EXPECT_EQ(all[1], "Received: from a by b; Mon, 7 Dec 2026");
  EXPECT_EQ(all[10], "Content-Type: text/plain; charset=utf-8");
  // Without the empty line, the body starts at the first line that is no header field.
  EXPECT_EQ(DecodedMessageLines("Subject: s\r\nHello there\r\nsecond\r\n"),
            (std::vector<std::string>{"Subject: s", "", "Hello there", "second"}));
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
