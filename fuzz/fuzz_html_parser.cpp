// Parses arbitrary text as the HTML subset and compares the result with a plain, slow
// reading of the same rules (every search unbounded, one stack of open tags), then
// applies the tags, checking that every tag range stays inside the object list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"
#include "richtext/html_parser.h"

namespace {

using std::u16string;
constexpr size_t npos = u16string::npos;

struct RefTag {
  u16string name;
  int start = -1, end = -1;
  bool selfClosing = false;
  std::vector<std::pair<u16string, u16string>> attrs;
};

struct RefResult {
  std::vector<u16string> nodes;  // "T" + text or "I" + source + ',' + width + ',' + height
  std::vector<RefTag> tags;
};

bool InRange(char16_t c) { return c >= u'A' && c <= u'z'; }
bool InSet(const u16string& n) { return u16string(u"|<font|<img|<a|<br|").find(n) != npos; }
int Digits(const u16string& v) {
  long long x = 0;
  for (char16_t c : v) {
    if (c < u'0' || c > u'9') break;
    x = x * 10 + (c - u'0');
    if (x > 2147483647) return 2147483647;
  }
  return static_cast<int>(x);
}
u16string Num(int v) {
  std::string s = std::to_string(v);
  return u16string(s.begin(), s.end());
}

RefTag ReadRef(const u16string& s, size_t lt, size_t gt, const u16string& name) {
  RefTag t;
  t.name = name;
  t.selfClosing = s[gt - 1] == u'/';
  size_t sp = s.find(u' ', lt + 1);
  while (t.attrs.size() < 20 && sp != npos && sp < gt) {
    size_t eq = s.find(u"=\"", sp + 1);
    if (eq != npos) {
      size_t q = s.find(u'"', eq + 2);
      if (q != npos && q <= gt) t.attrs.emplace_back(s.substr(sp + 1, eq - sp - 1), s.substr(eq + 2, q - eq - 2));
    }
    sp = s.find(u' ', sp + 2);
  }
  return t;
}

RefResult Reference(const u16string& s) {
  RefResult r;
  std::vector<RefTag> stack;
  size_t pending = 0, lt = s.find(u'<');
  while (lt != npos) {
    bool open = false, close = false;
    size_t gt = npos;
    u16string name;
    if (lt + 1 < s.size() && InRange(s[lt + 1]) && (gt = s.find(u'>', lt)) != npos) {
      size_t end = s[gt - 1] == u'/' ? gt - 1 : gt;
      size_t sp = s.find(u' ', lt + 1);
      if (sp != npos && sp < end) end = sp;
      if (end - lt >= 2 && end - lt <= 19) {
        name = s.substr(lt + 1, end - lt - 1);
        open = InSet(name);
      }
    }
    if (!open && lt + 1 < s.size() && s[lt + 1] == u'/' && (gt = s.find(u'>', lt + 2)) != npos) {
      name = s.substr(lt + 2, gt - lt - 2);
      close = InSet(name);
      for (char16_t c : name) close = close && InRange(c);
    }
    if (!open && !close) {
      lt = s.find(u'<', lt + 1);
      continue;
    }
    if (lt > pending) r.nodes.push_back(u"T" + s.substr(pending, lt - pending));
    pending = gt + 1;
    int count = static_cast<int>(r.nodes.size());
    if (close) {
      for (size_t i = stack.size(); i-- > 0;) {
        if (stack[i].name != name) continue;
        stack[i].end = count;
        r.tags.push_back(stack[i]);
        stack.erase(stack.begin() + static_cast<long>(i));
        break;
      }
    } else if (name == u"img") {
      RefTag t = ReadRef(s, lt, gt, name);
      t.start = count;
      const u16string *src = nullptr, *w = nullptr, *h = nullptr;
      for (auto& a : t.attrs) {
        if (a.first == u"src" && !src) src = &a.second;
        if (a.first == u"width" && !w) w = &a.second;
        if (a.first == u"height" && !h) h = &a.second;
      }
      if (src && w && h) r.nodes.push_back(u"I" + *src + u"," + Num(Digits(*w)) + u"," + Num(Digits(*h)));
      t.end = static_cast<int>(r.nodes.size());
      r.tags.push_back(t);
    } else if (name == u"br") {
      r.nodes.push_back(u"T\r\n");
    } else {
      RefTag t = ReadRef(s, lt, gt, name);
      if (t.selfClosing) {
        r.tags.push_back(t);
      } else {
        t.start = count;
        stack.push_back(t);
      }
    }
    lt = s.find(u'<', pending);
  }
  if (pending < s.size()) r.nodes.push_back(u"T" + s.substr(pending));
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  u16string text = platform::Utf8ToU16(std::string(reinterpret_cast<const char*>(data), size));
  richtext::CHtmlParser parser;
  if (parser.Parse(text) != (text.empty() ? 0 : 1)) abort();
  RefResult ref = Reference(text);

  int objects = 0, tags = 0;
  richtext::CHtmlObject* const* nodes = parser.GetObjects(&objects);
  if (static_cast<size_t>(objects) != ref.nodes.size()) abort();
  for (int i = 0; i < objects; ++i) {
    u16string got;
    if (richtext::IsNodeOfType(*nodes[i], u"HtmlText")) {
      got = u"T" + static_cast<richtext::CHtmlText*>(nodes[i])->GetText();
    } else {
      auto* im = static_cast<richtext::CHtmlImage*>(nodes[i]);
      got = u"I" + im->GetSource() + u"," + Num(im->GetWidth()) + u"," + Num(im->GetHeight());
    }
    if (got != ref.nodes[i]) abort();
  }
  richtext::CHtmlTag* const* list = parser.GetTags(&tags);
  if (static_cast<size_t>(tags) != ref.tags.size()) abort();
  for (int i = 0; i < tags; ++i) {
    const richtext::CHtmlTag* t = list[i];
    const RefTag& rt = ref.tags[i];
    if (t->GetName() != rt.name || t->GetStart() != rt.start || t->GetEnd() != rt.end ||
        t->IsSelfClosing() != rt.selfClosing || t->GetAttrCount() != static_cast<int>(rt.attrs.size()))
      abort();
    for (int a = 0; a < t->GetAttrCount(); ++a)
      if (t->GetAttrName(a) != rt.attrs[a].first || t->GetAttrValue(a) != rt.attrs[a].second) abort();
    if (t->GetStart() == -1 && t->GetEnd() == -1) continue;
    if (t->GetStart() < 0 || t->GetStart() > t->GetEnd() || t->GetEnd() > objects) abort();
  }
  richtext::ApplyHtmlTags(parser, 0, 90);
  return 0;
}
