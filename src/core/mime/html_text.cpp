// HtmlToText (declared in mime_text.h): libxml2's HTML parser reads the document (character
// references, broken markup and all), and the tree is walked into lines of text.

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/mime/mime_text.h"

namespace corvelle {
namespace {

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (name == n) return true;
  return false;
}

// Elements whose content is no text for a reader.
bool IsHidden(std::string_view name) { return IsOneOf(name, {"head", "title", "script", "style", "template"}); }

// Elements that stand on lines of their own: a line break before and after them.
bool IsBlock(std::string_view name) {
  return IsOneOf(name, {"address", "article", "aside", "blockquote", "center", "dd", "details", "dialog", "dir",
                        "div", "dl", "dt", "fieldset", "figcaption", "figure", "footer", "form", "h1", "h2", "h3",
                        "h4", "h5", "h6", "header", "hr", "li", "main", "menu", "nav", "ol", "p", "pre", "section",
                        "summary", "table", "tbody", "tfoot", "thead", "tr", "ul", "caption"});
}

std::string_view NameOf(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

std::string Attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string out = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return out;
}

std::string_view TrimmedText(std::string_view s) {
  size_t first = s.find_first_not_of(" \n"), last = s.find_last_not_of(" \n");
  return first == std::string_view::npos ? std::string_view() : s.substr(first, last - first + 1);
}

// Where a link points, when a reader cannot see it in the link's own text: "" for anchors
// within the document, scripts, and links that show their own target.
std::string ShownTarget(std::string href, std::string_view text) {
  size_t first = href.find_first_not_of(" \t\r\n"), last = href.find_last_not_of(" \t\r\n");
  href = first == std::string::npos ? "" : href.substr(first, last - first + 1);
  if (href.empty() || href[0] == '#' || href.starts_with("javascript:")) return "";
  if (text == href || (href.starts_with("mailto:") && text == std::string_view(href).substr(7))) return "";
  return href;
}

// The text as it is built: runs of white space are one blank, none at a line's start.
class TextBuilder {
 public:
  void Text(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (pre_ > 0) {
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out_ += c == '\r' ? '\n' : c;
      } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
        blank_ = true;
      } else if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
        Put(' ');  // a no-break space: a blank that is kept
        ++i;
      } else {
        Put(c);
      }
    }
  }

  // A line break (<br>).
  void Break() {
    out_ += '\n';
    blank_ = false;
  }

  // A block's edge: the text goes on at the start of a line.
  void LineStart() {
    if (!out_.empty() && out_.back() != '\n') out_ += '\n';
    blank_ = false;
  }

  // Table cells on one line keep a blank between them.
  void Separate() { blank_ = true; }

  void EnterPre() { ++pre_; }
  void LeavePre() { pre_ -= pre_ > 0; }

  size_t size() const { return out_.size(); }
  std::string_view Since(size_t at) const { return std::string_view(out_).substr(at); }

  // The lines without trailing blanks, without empty lines at the start and the end, and
  // never more than one empty line in a row.
  std::string Finish() const {
    std::string text;
    size_t breaks = 0;
    for (size_t start = 0; start <= out_.size(); ++breaks) {
      size_t end = out_.find('\n', start);
      if (end == std::string::npos) end = out_.size();
      std::string_view line(out_.data() + start, end - start);
      if (size_t last = line.find_last_not_of(' '); last != std::string_view::npos) {
        if (!text.empty()) text.append(std::min<size_t>(breaks, 2), '\n');
        text += line.substr(0, last + 1);
        breaks = 0;
      }
      start = end + 1;
    }
    return text;
  }

 private:
  void Put(char c) {
    if (blank_ && !out_.empty() && out_.back() != '\n') out_ += ' ';
    blank_ = false;
    out_ += c;
  }

  std::string out_;
  bool blank_ = false;
  int pre_ = 0;
};

// Walks the document tree in order without recursion: the tree may be as deep as the
// markup is nested.
class Walker {
 public:
  std::string Walk(xmlNode* root) {
    xmlNode* node = root;
    while (node) {
      if (Enter(node) && node->children) {
        node = node->children;
        continue;
      }
      for (;;) {
        Leave(node);
        if (node == root) return text_.Finish();
        if (node->next) {
          node = node->next;
          break;
        }
        node = node->parent;
      }
    }
    return text_.Finish();
  }

 private:
  // True when the node's children are to be walked.
  bool Enter(xmlNode* node) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      if (node->content) text_.Text(reinterpret_cast<const char*>(node->content));
      return false;
    }
    if (node->type != XML_ELEMENT_NODE) return node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE;
    const std::string_view name = NameOf(node);
    if (IsHidden(name)) return false;
    if (name == "br") text_.Break();
    if (IsBlock(name)) text_.LineStart();
    if (name == "td" || name == "th") text_.Separate();
    if (name == "pre") text_.EnterPre();
    if (name == "a") links_.push_back({text_.size(), Attribute(node, "href")});
    return true;
  }

  void Leave(xmlNode* node) {
    if (node->type != XML_ELEMENT_NODE) return;
    const std::string_view name = NameOf(node);
    if (IsHidden(name)) return;
    if (name == "pre") text_.LeavePre();
    if (name == "a" && !links_.empty()) {
      const Link link = links_.back();
      links_.pop_back();
      const std::string_view shown = TrimmedText(text_.Since(link.start));
      if (std::string target = ShownTarget(link.href, shown); !target.empty())
        text_.Text(shown.empty() ? "<" + target + ">" : " <" + target + ">");
    }
    if (IsBlock(name)) text_.LineStart();
  }

  struct Link {
    size_t start;
    std::string href;
  };
  TextBuilder text_;
  std::vector<Link> links_;
};

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

std::string HtmlToText(std::string_view html) {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
  if (html.size() > INT_MAX) html = html.substr(0, INT_MAX);
  // The text is UTF-8 already, whatever the document's own meta tags say; nothing is fetched.
  const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                      HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE;
  std::unique_ptr<xmlDoc, DocFree> doc(
      htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8", options));
  if (!doc) return "";
  return Walker().Walk(reinterpret_cast<xmlNode*>(doc.get()));
}

}  // namespace corvelle
