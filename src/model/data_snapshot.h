// Everything data.dat holds, as plain values: the manager's settings and link lists, and
// one record per widget with its content. Loading gives one; saving takes one.
#pragma once
#include <vector>

#include "model/manager_data.h"
#include "model/notes_local_info.h"

struct DataSnapshot {
  ManagerData settings;
  std::vector<CNotesLocalInfo> widgets;
};
