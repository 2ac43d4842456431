// Adverts and advert links as the remote configuration delivers them and the advert
// store keeps them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One advert popup. Times are seconds since 1970 (local time as the service writes it).
struct AdvertRecord {
  std::u16string url;      // page opened by a click (position 2: required)
  std::u16string pic;      // picture: a local file once downloaded
  std::u16string text;
  std::u16string htmlurl;  // web page shown by a type-3 advert
  std::u16string title;
  int32_t type = 0;        // 1 text, 2 picture, 3 web page, 4 picture and text; 0 unknown
  int32_t position = 0;    // 1 timed popup, 2 start-time popup
  int32_t aligntext = 0;   // 0 left, 1 right, 2 centre
  int32_t showtime = 0;
  int32_t id = -1;         // -1: the service gave none
  int32_t usergrade = 0;
  int64_t endtime = 0;
  int64_t starttime = 0;
  int32_t width = 0, height = 0, xoffset = 0, yoffset = 0;
  // Runtime state of the popup; the configuration never sets these.
  bool slideIn = true;
  bool slideOut = false;
};

struct AdvLink {
  std::u16string name;
  std::u16string link;
};

// Advert links for one place in the program (position 6: the widgets' extra lines).
struct AdvLinkGroup {
  int32_t position = 1;
  std::vector<AdvLink> links;  // never empty once stored
};
