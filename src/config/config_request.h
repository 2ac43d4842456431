// Addresses of the maker's service and the names under which downloaded files are kept.
#pragma once
#include <functional>
#include <string>

#include "config/app_config.h"

namespace config {

// "SCHEME://HOST[:PORT]" of the maker's service; the build chooses all three (release
// builds use https, test builds a loopback stand-in over http).
std::u16string ServiceBaseUrl();
std::u16string ServiceBaseUrl(const std::u16string& scheme, const std::u16string& host, int port);
// True when the build allows plain http for the service's manifest and installer.
bool ServiceAllowsPlainHttp();

constexpr char16_t kConfigPath[] = u"/pelinor/appconfig/appconfig.php";

// BASE + "/pelinor/appconfig/appconfig.php?ver=" + version, then "&" + extra when given.
std::u16string ConfigRequestUrl(const std::u16string& base, const std::u16string& version,
                                const std::u16string& extraQuery);
// The first request of a run reports the usage counts: "run=1&stat=" + the encoded counts.
std::u16string FirstRunQuery(const std::u16string& statisticsQuery);
// Whether a query passed to a request carries the usage counts.
bool QueryCarriesStatistics(const std::u16string& extraQuery);

// The URL path's last segment, query and fragment cut off, when it is a safe file name:
// letters, digits, ".", "-", "_" only, not starting with ".", at most 100 characters;
// empty otherwise.
std::u16string SafeFileNameFromUrl(const std::u16string& url);
// True when `name` ends in `suffix` (ASCII, any letter case) and has more before it.
bool HasExtension(const std::u16string& name, const char* suffix);

// The file name for an advert picture: the URL path's last segment (query and fragment
// cut off) when it is made of safe characters (letters, digits, ".", "-", "_"), does not
// start with ".", is at most 100 characters and ends in .png, .jpg, .jpeg, .gif or .bmp
// (any letter case); empty otherwise.
std::u16string SafePictureFileName(const std::u16string& url);
constexpr size_t kMaxPictureBytes = 2 * 1024 * 1024;

// Downloads a picture and returns the local path, or empty on failure.
using PictureDownloader = std::function<std::u16string(const std::u16string& url)>;

// Makes every advert's picture local: an http/https picture is downloaded (and the advert
// dropped, with the log line "download adv pic failed!", when that fails); any other pic
// text is cleared, since only pictures the program fetched itself are ever loaded. An
// advert that then lacks the picture its type needs is dropped. Returns how many adverts
// were dropped.
int ResolvePictures(AppConfig* c, const PictureDownloader& download);

}  // namespace config
