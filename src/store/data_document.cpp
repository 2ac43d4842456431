// The text of data.dat: built by concatenation in a fixed layout, read with TinyXML.
#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/log.h"
#include "platform/xml_guard.h"
#include "platform/text.h"
#include "store/data_store.h"

namespace store {
namespace {

constexpr char kCdataOpen[] = "<![CDATA[";
constexpr char kCdataClose[] = "]]>";
constexpr int32_t kKeepFromRight = 50;   // a widget stays at least this far from the right edge
constexpr int32_t kKeepFromBottom = 60;  // ... and from the bottom edge

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char small[128];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  va_start(ap, format);
  std::vsnprintf(&big[0], big.size(), format, ap);
  va_end(ap);
  big.resize(static_cast<size_t>(n));
  return big;
}

std::string Num(int32_t v) { return Format("%d", v); }
std::string Frac(double v) { return Format("%f", v); }

// A zero byte would end the document early when it is read back.
std::string WithoutNul(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
  return s;
}
std::string Ansi(const std::u16string& s) { return WithoutNul(platform::ToAnsi(s)); }

// A CDATA section holding `s` exactly: a "]]>" inside is split across two sections,
// which the reader joins again.
std::string Cdata(const std::string& s) {
  std::string out = kCdataOpen;
  size_t from = 0;
  for (size_t at; (at = s.find(kCdataClose, from)) != std::string::npos; from = at + 2) {
    out.append(s, from, at + 2 - from);
    out += "]]><![CDATA[";
  }
  out.append(s, from, std::string::npos);
  out += kCdataClose;
  return out;
}

// True when '&' at s[i] is one the parser acts on: a named or numeric reference, or
// "&#" that is not a valid one (the parser fails on it).
bool StartsEntity(const std::string& s, size_t i) {
  static const char* const kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#"};
  for (const char* e : kEntities) {
    if (s.compare(i, std::strlen(e), e) == 0) return true;
  }
  return false;
}

// True when '&' at s[i] begins a reference the parser decodes: one of the five names,
// "&#" digits ";" or "&#x" hex digits ";".
bool IsReference(const std::string& s, size_t i) {
  static const char* const kNamed[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
  for (const char* e : kNamed) {
    if (s.compare(i, std::strlen(e), e) == 0) return true;
  }
  if (s.compare(i, 2, "&#") != 0) return false;
  size_t k = i + 2;
  const bool hex = k < s.size() && s[k] == 'x';
  if (hex) ++k;
  for (; k < s.size() && s[k] != ';'; ++k) {
    if (!(hex ? std::isxdigit(static_cast<unsigned char>(s[k])) : std::isdigit(static_cast<unsigned char>(s[k]))))
      return false;
  }
  return k < s.size();
}

// The parser drops an '&' that starts no reference and fails on a broken "&#", while a
// bare '&' (in a feed address, say) must read back as itself. Outside CDATA sections and
// comments, every such '&' is turned into "&amp;" before parsing.
std::string EscapeStrayAmpersands(const std::string& s) {
  std::string out;
  out.reserve(s.size() + 64);
  size_t i = 0;
  while (i < s.size()) {
    const char* closer = nullptr;
    if (s.compare(i, 9, kCdataOpen) == 0) closer = kCdataClose;
    else if (s.compare(i, 4, "<!--") == 0) closer = "-->";
    if (closer) {
      size_t end = s.find(closer, i);
      end = end == std::string::npos ? s.size() : end + std::strlen(closer);
      out.append(s, i, end - i);
      i = end;
      continue;
    }
    out += s[i];
    if (s[i] == '&' && !IsReference(s, i)) out += "amp;";
    ++i;
  }
  return out;
}

bool IsXmlSpace(unsigned char c) { return std::isspace(c) != 0; }

// Plain element text reads back changed when it holds markup, an entity, or white space
// that the parser trims or condenses.
bool PlainTextChanges(const std::string& s) {
  if (s.empty()) return false;
  if (IsXmlSpace(static_cast<unsigned char>(s.front())) || IsXmlSpace(static_cast<unsigned char>(s.back())))
    return true;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '<' || (c == '&' && StartsEntity(s, i))) return true;
    if (IsXmlSpace(c) && (c != ' ' || IsXmlSpace(static_cast<unsigned char>(s[i + 1])))) return true;
  }
  return false;
}

// Element text written as it stands, unless that would not read back unchanged: then it
// goes into a CDATA section, which the reader takes literally.
std::string Plain(const std::string& s) { return PlainTextChanges(s) ? Cdata(s) : s; }

// An attribute value written as it stands, escaped only when it could not be read back.
std::string PlainAttribute(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"' || (s[i] == '&' && StartsEntity(s, i))) return XmlEscape(s);
  }
  return s;
}

std::string Line(const char* tag, const std::string& value) {
  return std::string("\t<") + tag + ">" + value + "</" + tag + ">\r\n";
}
std::string NoteLine(const char* tag, const std::string& value) {
  return std::string("\t\t\t<") + tag + ">" + value + "</" + tag + ">\r\n";
}

// Marks an element whose text holds character references for what the ANSI code page
// cannot hold (emoji, Hangul or Arabic on a Chinese system, say).
constexpr char kRefsAttribute[] = "chars";
constexpr char kRefsValue[] = "ncr";

// Element text for `text`: the ANSI form as CDATA (`cdata`) or plain text. Where the code
// page cannot hold every character, those become "&#N;" and '&' becomes "&amp;", inside
// CDATA, and `*refs` is set so that the element is marked; text the code page holds is
// written exactly as before.
std::string ElementText(const std::u16string& text, bool cdata, bool* refs) {
  std::string ansi = Ansi(text);
  std::u16string plain = text;
  plain.erase(std::remove(plain.begin(), plain.end(), u'\0'), plain.end());
  *refs = platform::FromAnsi(ansi) != plain;
  if (!*refs) return cdata ? Cdata(ansi) : Plain(ansi);
  std::string out;
  for (size_t i = 0; i < plain.size();) {
    size_t n = (plain[i] >= 0xD800 && plain[i] <= 0xDBFF && i + 1 < plain.size() && plain[i + 1] >= 0xDC00 &&
                plain[i + 1] <= 0xDFFF) ? 2 : 1;
    const std::u16string one = plain.substr(i, n);
    const std::string bytes = platform::ToAnsi(one);
    if (one == u"&") {
      out += "&amp;";
    } else if (!bytes.empty() && platform::FromAnsi(bytes) == one) {
      out += bytes;
    } else {
      char32_t cp = n == 2 ? 0x10000 + ((one[0] - 0xD800) << 10) + (one[1] - 0xDC00) : one[0];
      out += Format("&#%u;", static_cast<unsigned>(cp));
    }
    i += n;
  }
  return Cdata(out);
}

// "<tag>text</tag>" at the given indentation, marked when the text needed references.
std::string TextElement(const char* indent, const char* tag, const std::u16string& text, bool cdata) {
  bool refs = false;
  std::string body = ElementText(text, cdata, &refs);
  std::string open = std::string(indent) + "<" + tag;
  if (refs) open += std::string(" ") + kRefsAttribute + "=\"" + kRefsValue + "\"";
  return open + ">" + body + "</" + tag + ">";
}

// Undoes ElementText's references where the element is marked.
std::u16string DecodeMarkedText(const TiXmlElement* e, std::u16string text) {
  const char* mark = e->Attribute(kRefsAttribute);
  if (!mark || std::strcmp(mark, kRefsValue) != 0) return text;
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (text.compare(i, 5, u"&amp;") == 0) {
        out += u'&';
        i += 4;
        continue;
      }
      if (text.compare(i, 2, u"&#") == 0) {
        size_t k = i + 2;
        char32_t cp = 0;
        while (k < text.size() && k - i < 10 && text[k] >= u'0' && text[k] <= u'9') cp = cp * 10 + (text[k++] - u'0');
        if (k > i + 2 && k < text.size() && text[k] == u';') {
          platform::AppendCodePoint(&out, cp);
          i = k;
          continue;
        }
      }
    }
    out += text[i];
  }
  return out;
}

std::string LinkList(const char* tag, const std::vector<NewsLink>& links) {
  std::string out = std::string("\t<") + tag + ">\r\n";
  for (const NewsLink& l : links) {
    out += "\t\t<link>" + TextElement("\t\t\t", "name", l.name, true) + TextElement("\t\t\t", "url", l.url, true) +
           "\t\t</link>";
  }
  out += std::string("\t</") + tag + ">\r\n";
  return out;
}

ScreenSize Usable(ScreenSize s) {
  if (s.width < 1) s.width = 1;
  if (s.height < 1) s.height = 1;
  return s;
}

void Clamp(CNotesLocalInfo* note, ScreenSize screen) {
  StoredPosition p = ClampedPosition(*note, screen);
  note->x = p.x;
  note->y = p.y;
}

// --- reading ---

// The C library's decimal conversion (leading blanks, a sign, digits), saturated at the
// limits of a 32-bit integer instead of overflowing.
int32_t ToInt(const char* s) {
  while (*s && IsXmlSpace(static_cast<unsigned char>(*s))) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  int64_t v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + (*s - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) break;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

double ToDouble(const char* s) { return std::strtod(s, nullptr); }

float ToFloat(const char* s) {
  double v = ToDouble(s);
  if (v > FLT_MAX) return HUGE_VALF;
  if (v < -FLT_MAX) return -HUGE_VALF;
  return static_cast<float>(v);
}

// The element's text: all its text and CDATA children joined (a value may have been
// split into several sections). False when it has none.
bool TextOf(const TiXmlElement* e, std::string* out) {
  out->clear();
  bool any = false;
  for (const TiXmlNode* n = e->FirstChild(); n; n = n->NextSibling()) {
    if (const TiXmlText* t = n->ToText()) {
      *out += t->ValueStr();
      any = true;
    }
  }
  return any;
}

// True when the element was there with a number to read.
bool ReadIntChild(const TiXmlElement* parent, const char* name, int32_t* field) {
  const TiXmlElement* e = parent->FirstChildElement(name);
  std::string text;
  if (!e || !TextOf(e, &text)) return false;
  *field = ToInt(text.c_str());
  return true;
}

void ReadTextChild(const TiXmlElement* parent, const char* name, std::u16string* field) {
  const TiXmlElement* e = parent->FirstChildElement(name);
  if (!e) return;
  std::string text;
  TextOf(e, &text);
  *field = DecodeMarkedText(e, platform::FromAnsi(text));
}

// A position fraction back to pixels; a value that is not a finite number leaves the
// coordinate alone.
void ReadPosition(const char* value, int32_t extent, int32_t* field) {
  double v = std::floor(ToDouble(value) * extent + 0.5);
  if (!std::isfinite(v)) return;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  *field = static_cast<int32_t>(v);
}

void ReadLinks(const TiXmlElement* root, const char* listName, std::vector<NewsLink>* links) {
  const TiXmlElement* list = root->FirstChildElement(listName);
  if (!list) return;
  for (const TiXmlElement* link = list->FirstChildElement("link"); link; link = link->NextSiblingElement()) {
    const TiXmlElement* name = link->FirstChildElement("name");
    const TiXmlElement* url = link->FirstChildElement("url");
    std::string n, u;
    if (name) TextOf(name, &n);
    if (url) TextOf(url, &u);
    if (!n.empty() && !u.empty())
      links->push_back({DecodeMarkedText(name, platform::FromAnsi(n)), DecodeMarkedText(url, platform::FromAnsi(u))});
  }
}

}  // namespace

StoredPosition ClampedPosition(const CNotesLocalInfo& note, ScreenSize screen) {
  const int32_t right = std::max(screen.width, screen.desktopRight);
  const int32_t bottom = std::max(screen.height, screen.desktopBottom);
  return StoredPosition{std::min(note.x, right - kKeepFromRight), std::min(note.y, bottom - kKeepFromBottom)};
}

std::string NoteToXml(const CNotesLocalInfo& record, ScreenSize screen) {
  const CNotesLocalInfo* note = &record;
  screen = Usable(screen);
  const StoredPosition at = ClampedPosition(record, screen);
  const float fx = static_cast<float>(at.x) / static_cast<float>(screen.width);
  const float fy = static_cast<float>(at.y) / static_cast<float>(screen.height);
  const NoteTemplate& t = note->tmpl;
  std::string out;
  out.reserve(1024);
  out += "\t\t<note create_time=\"" + Num(static_cast<int32_t>(static_cast<uint32_t>(note->create_time))) +
         "\" group_name=\"" + XmlEscape(Ansi(note->group_name)) + "\">\r\n";
  out += "\t\t\t<template image=\"" + PlainAttribute(Ansi(t.image)) + "\" type=\"" + Num(t.type) +
         "\" bkcolor_id=\"" + Num(t.bkcolor_id) + "\" x1=\"" + Frac(t.x1) + "\" y1=\"" + Frac(t.y1) +
         "\" x2=\"" + Frac(t.x2) + "\" y2=\"" + Frac(t.y2) + "\"></template>\r\n";
  out += TextElement("\t\t\t", "content", note->content, true) + "\r\n";
  out += NoteLine("textcolor", Num(static_cast<int32_t>(note->textcolor)));
  out += "\t\t\t<position x=\"" + Frac(fx) + "\" y=\"" + Frac(fy) + "\" width=\"" + Num(note->width) +
         "\" height=\"" + Num(note->height) + "\"></position>\r\n";
  out += "\t\t\t<font face=\"" + XmlEscape(Ansi(note->font_face)) + "\" size=\"" + Num(note->font_size) +
         "\" bold=\"" + Num(note->font_bold) + "\"></font>\r\n";
  out += NoteLine("scrolly", Num(note->scrolly));
  out += NoteLine("transparent", Num(note->alpha));
  out += NoteLine("topmost", Num(note->topmost));
  if (note->in_desktop) out += NoteLine("in_desktop", Num(note->in_desktop));  // absent from older files
  // Absent from older files, and written only for a widget with an interval of its own.
  if (note->refresh_interval) out += NoteLine("refresh_interval", Num(note->refresh_interval));
  out += NoteLine("visible", Num(note->visible));
  out += NoteLine("locked", Num(note->locked));
  out += NoteLine("linespace", Num(note->linespace));
  out += TextElement("\t\t\t", "rssurl", note->rssurl, false) + "\r\n";
  out += TextElement("\t\t\t", "advlink_url", note->advlink_url, false) + "\r\n";
  out += TextElement("\t\t\t", "advlink_title", note->advlink_title, false) + "\r\n";
  out += "\t\t</note>\r\n";
  return out;
}

std::string BuildDataDocument(const DataSnapshot& data, ScreenSize screen) {
  const ManagerData& m = data.settings;
  std::string out;
  out.reserve(4096 + data.widgets.size() * 1024);
  out += "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<config ver=\"1.8\">\r\n";
  out += Line("embed_desktop", Num(m.embed_desktop));
  out += Line("editnotes_menu", Num(m.editnotes_menu));
  out += Line("hidenotes_menu", Num(m.hidenotes_menu));
  out += Line("topmost_menu", Num(m.topmost_menu));
  out += Line("exporttext_menu", Num(m.exporttext_menu));
  out += Line("transparent_menu", Num(m.transparent_menu));
  out += Line("lock_menu", Num(m.lock_menu));
  out += Line("show_notes_date", Num(m.show_notes_date));
  out += Line("smoothing", Num(m.smoothing));
  out += Line("hotkey_shownotes", Plain(Ansi(m.hotkey_shownotes)));
  out += Line("usecount", Num(m.usecount));
  out += Line("hotkey_addnotes", Plain(Ansi(m.hotkey_addnotes)));
  out += Line("hotkey_addremind", Plain(Ansi(m.hotkey_addremind)));
  out += Line("last_shutdown_time", Num(m.last_shutdown_time));
  out += "\t<passwordinfo><password>" + Plain(WithoutNul(m.password)) + "</password><question>" +
         Cdata(Ansi(m.question)) + "</question><answer>" + Plain(WithoutNul(m.answer)) +
         "</answer></passwordinfo>\r\n";
  out += Line("dont_updatever", Plain(Ansi(m.dont_updatever)));
  out += Line("switchs", Cdata(Ansi(m.switchs)));
  out += Line("ctrl_lclick", Num(m.ctrl_lclick));
  out += Line("just_bg_transparent", Cdata(Num(m.just_bg_transparent)));
  out += Line("refresh_interval", Num(m.refresh_interval));
  out += Line("new_widget_place", Num(m.new_widget_place));
  out += Line("new_widget_theme", Num(m.new_widget_theme));
  out += Line("new_widget_alpha", Num(m.new_widget_alpha));
  out += LinkList("custom_newslinks", m.custom_links);
  out += LinkList("remote_newslinks", m.remote_links);
  out += "\t<screen_size width=\"" + Num(screen.width) + "\" height=\"" + Num(screen.height) +
         "\"></screen_size>\r\n";
  out += "\t<newsnotes>\r\n";
  for (const CNotesLocalInfo& n : data.widgets) out += NoteToXml(n, screen);
  out += "\t</newsnotes>\r\n</config>";
  return out;
}

int NoteFromXml(CNotesLocalInfo* note, const TiXmlElement* element, ScreenSize screen) {
  if (!note || !element) return 0;
  screen = Usable(screen);
  for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
    if (std::strcmp(a->Name(), "create_time") == 0) note->create_time = ToInt(a->Value());
    else if (std::strcmp(a->Name(), "group_name") == 0) note->group_name = platform::FromAnsi(a->ValueStr());
  }
  if (const TiXmlElement* t = element->FirstChildElement("template")) {
    for (const TiXmlAttribute* a = t->FirstAttribute(); a; a = a->Next()) {
      const char* n = a->Name();
      if (!std::strcmp(n, "image")) note->tmpl.image = platform::FromAnsi(a->ValueStr());
      else if (!std::strcmp(n, "bkcolor_id")) note->tmpl.bkcolor_id = ToInt(a->Value());
      else if (!std::strcmp(n, "type")) note->tmpl.type = static_cast<uint16_t>(ToInt(a->Value()));
      else if (!std::strcmp(n, "x1")) note->tmpl.x1 = ToDouble(a->Value());
      else if (!std::strcmp(n, "x2")) note->tmpl.x2 = ToDouble(a->Value());
      else if (!std::strcmp(n, "y1")) note->tmpl.y1 = ToDouble(a->Value());
      else if (!std::strcmp(n, "y2")) note->tmpl.y2 = ToDouble(a->Value());
    }
  }
  if (const TiXmlElement* c = element->FirstChildElement("content")) {
    std::string text;
    TextOf(c, &text);
    note->SetContent(DecodeMarkedText(c, platform::FromAnsi(text)));
  }
  int32_t color = static_cast<int32_t>(note->textcolor);
  ReadIntChild(element, "textcolor", &color);
  note->textcolor = static_cast<uint32_t>(color);
  if (const TiXmlElement* p = element->FirstChildElement("position")) {
    for (const TiXmlAttribute* a = p->FirstAttribute(); a; a = a->Next()) {
      const char* n = a->Name();
      if (!std::strcmp(n, "x")) ReadPosition(a->Value(), screen.width, &note->x);
      else if (!std::strcmp(n, "y")) ReadPosition(a->Value(), screen.height, &note->y);
      else if (!std::strcmp(n, "width")) note->width = ToInt(a->Value());
      else if (!std::strcmp(n, "height")) note->height = ToInt(a->Value());
    }
  }
  if (const TiXmlElement* f = element->FirstChildElement("font")) {
    for (const TiXmlAttribute* a = f->FirstAttribute(); a; a = a->Next()) {
      const char* n = a->Name();
      if (!std::strcmp(n, "face")) note->font_face = platform::FromAnsi(a->ValueStr());
      else if (!std::strcmp(n, "size")) note->font_size = ToInt(a->Value());
      else if (!std::strcmp(n, "bold")) note->font_bold = ToInt(a->Value());
    }
  }
  ReadIntChild(element, "scrolly", &note->scrolly);
  int32_t alpha = note->alpha;
  ReadIntChild(element, "transparent", &alpha);
  note->alpha = static_cast<uint8_t>(alpha);
  ReadIntChild(element, "topmost", &note->topmost);
  ReadIntChild(element, "in_desktop", &note->in_desktop);
  ReadIntChild(element, "refresh_interval", &note->refresh_interval);
  if (note->refresh_interval < CNotesLocalInfo::kMinRefreshInterval ||
      note->refresh_interval > CNotesLocalInfo::kMaxRefreshInterval)
    note->refresh_interval = 0;  // not one a widget may have: the default
  ReadIntChild(element, "visible", &note->visible);
  ReadIntChild(element, "locked", &note->locked);
  ReadTextChild(element, "rssurl", &note->rssurl);
  ReadTextChild(element, "advlink_url", &note->advlink_url);
  ReadTextChild(element, "advlink_title", &note->advlink_title);
  ReadIntChild(element, "linespace", &note->linespace);
  Clamp(note, screen);
  return 1;
}

void ReadSettings(const TiXmlElement* root, ManagerData* m) {
  if (const char* ver = root->Attribute("ver")) m->version = ToFloat(ver);
  ReadIntChild(root, "embed_desktop", &m->embed_desktop);
  ReadIntChild(root, "editnotes_menu", &m->editnotes_menu);
  ReadIntChild(root, "hidenotes_menu", &m->hidenotes_menu);
  ReadIntChild(root, "topmost_menu", &m->topmost_menu);
  ReadIntChild(root, "exporttext_menu", &m->exporttext_menu);
  ReadIntChild(root, "transparent_menu", &m->transparent_menu);
  ReadIntChild(root, "lock_menu", &m->lock_menu);
  ReadIntChild(root, "show_notes_date", &m->show_notes_date);
  ReadIntChild(root, "smoothing", &m->smoothing);
  // Each load that finds a count adds itself to it.
  int32_t uses = 0;
  if (ReadIntChild(root, "usecount", &uses)) m->usecount = uses < INT32_MAX ? uses + 1 : uses;
  ReadTextChild(root, "hotkey_shownotes", &m->hotkey_shownotes);
  ReadTextChild(root, "hotkey_addnotes", &m->hotkey_addnotes);
  ReadTextChild(root, "hotkey_addremind", &m->hotkey_addremind);
  ReadTextChild(root, "switchs", &m->switchs);
  ReadIntChild(root, "just_bg_transparent", &m->just_bg_transparent);
  ReadIntChild(root, "last_shutdown_time", &m->last_shutdown_time);
  ReadIntChild(root, "ctrl_lclick", &m->ctrl_lclick);
  ReadIntChild(root, "refresh_interval", &m->refresh_interval);
  ReadIntChild(root, "new_widget_place", &m->new_widget_place);
  ReadIntChild(root, "new_widget_theme", &m->new_widget_theme);
  ReadIntChild(root, "new_widget_alpha", &m->new_widget_alpha);
  ReadLinks(root, "custom_newslinks", &m->custom_links);
  ReadLinks(root, "remote_newslinks", &m->remote_links);
  if (m->usecount == 1) m->first_run = 1;
}

int ReadNotes(const TiXmlElement* root, ScreenSize screen, int64_t now,
              const std::function<bool(const CNotesLocalInfo&)>& onNote) {
  const TiXmlElement* list = root->FirstChildElement("newsnotes");
  if (!list) return 0;
  int created = 0;
  for (const TiXmlElement* e = list->FirstChildElement("note"); e; e = e->NextSiblingElement("note")) {
    CNotesLocalInfo record;
    NoteFromXml(&record, e, screen);
    if (record.create_time == 0) record.create_time = now;
    if (onNote && onNote(record)) ++created;
  }
  return created;
}

LoadStatus ParseDataFile(const std::string& bytes, TiXmlDocument* doc) {
  doc->Clear();
  if (bytes.size() < kMinDataFileSize) {
    LogError("invalid file \"data.dat!\"");
    return LoadStatus::kTooShort;
  }
  std::string text = bytes;
  if (text.compare(0, 5, "<?xml") != 0) UnscrambleData(reinterpret_cast<unsigned char*>(&text[0]), text.size());
  // The parser reads up to the first zero byte, as the file's own terminator says.
  size_t end = text.find('\0');
  if (end == std::string::npos) end = text.size();
  text = EscapeStrayAmpersands(text.substr(0, end));
  if (!platform::XmlNestingAcceptable(text.data(), text.size())) {
    LogError("parse xml error!");
    return LoadStatus::kParseError;
  }
  // Bytes are taken as they stand (the text is ANSI whatever the declaration says); the
  // parser's UTF-8 mode could also step over the end of the buffer on a truncated character.
  doc->Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  if (doc->Error()) {
    LogError("parse xml error!");
    doc->Clear();
    return LoadStatus::kParseError;
  }
  if (!doc->RootElement()) return LoadStatus::kNoRoot;
  return LoadStatus::kOk;
}

}  // namespace store
