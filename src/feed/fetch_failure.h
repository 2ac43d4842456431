// Why a refresh brought no items, in terms a reader of the widget can act on: the
// download's outcome (system error number, HTTP status, size limit) sorted into a few
// causes, and the short line a widget shows for each.
#pragma once
#include <cstdint>
#include <string>

#include "net/http_result.h"

namespace feed {

enum class FailureKind {
  kNone,
  kNoNetwork,       // the computer is offline
  kHostNotFound,    // the server's name does not resolve
  kRefused,         // the server refused the connection or cannot be reached
  kTimedOut,        // no answer in time
  kConnectionLost,  // the connection broke off mid-way
  kCertificate,     // the https certificate is not trusted or not valid
  kHttpStatus,      // the server answered with an error status (detail: the status)
  kTooLarge,        // the feed is larger than a feed may be
  kEmptyAnswer,     // the server sent nothing (or closed the connection without a word)
  kNotAFeed,        // the answer is no feed a widget can read
  kNoEntries,       // the answer is a feed, but it has nothing in it (yet, or for now)
  kBadAddress,      // the address cannot be requested at all
  kOther,           // anything else (detail: the system error number, if any)
};

struct FetchFailure {
  FailureKind kind = FailureKind::kNone;
  int detail = 0;  // HTTP status for kHttpStatus; the system error number otherwise
};

inline bool operator==(const FetchFailure& a, const FetchFailure& b) {
  return a.kind == b.kind && a.detail == b.detail;
}
inline bool operator!=(const FetchFailure& a, const FetchFailure& b) { return !(a == b); }

// What a failed download said about itself.
struct DownloadOutcome {
  bool answered = false;     // the server sent a status line
  int status = 0;            // that status
  uint32_t systemError = 0;  // the WinINet/Win32 error number of the call that failed; 0 if none
  bool tooLarge = false;     // the body passed the size limit
  bool offline = false;      // the system reports no network connection
};

// What the network layer's result of a GET says about its failure (not `offline`, which
// the caller asks the system for).
DownloadOutcome DownloadOutcomeOf(const net::HttpResponse& response);

// The cause of a failed download. An answer with an error status is a kHttpStatus even
// when a system error came with it; a name or connection failure while the system is
// offline is kNoNetwork; an answer without an error and without a body is kEmptyAnswer.
FetchFailure ClassifyDownloadFailure(const DownloadOutcome& outcome);

// The line a widget shows for a failure, in the interface's language: what went wrong in
// words, with the HTTP status where there is one. Empty for kNone.
std::u16string FailureLine(const FetchFailure& failure);

// The same cause for the log, which people send with their reports: a few plain words
// with the HTTP status or the system error number ("HTTP 404", "server refused or
// unreachable (error 12029)").
std::string FailureLogText(const FetchFailure& failure);

// True for causes that a returning network connection may cure (worth retrying at once
// when the network comes back).
bool CuredByNetwork(FailureKind kind);

}  // namespace feed
