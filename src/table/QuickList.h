#pragma once

#include "base/StringList.h"

// Placeholder directory until the indexed directory lands.
class TQuickList : public TStringList {
public:
    std::string Lookup(std::string_view) { return {}; }
};
