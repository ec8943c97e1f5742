// A name list as a service or a local file gives it: split into lines, normalised into the host
// name directory, and every address in it looked up, as each poll does.
#include "FuzzSupport.h"

#include "base/Exception.h"
#include "base/Utf8Text.h"
#include "service/LineSplitting.h"
#include "table/QuickList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TQuickList names;
    ReplaceLines(qtm_fuzz::AsText(data, size), names);
    for (int i = 0; i < names.Count(); ++i)
        if (names[i].find_first_of("\r\n") != std::string::npos)
            qtm_fuzz::BrokenPromise("a line holds a line break");
    NormalizeHostNames(names);

    for (int i = 0; i < names.Count(); ++i) {
        const std::string line = names[i];
        const std::string_view value = TQuickList::ValueView(line);
        if (line.find('<') != std::string::npos || value.empty() || FirstChars(value, 15).size() != value.size()
            || value.find('=') != std::string_view::npos)
            qtm_fuzz::BrokenPromise("a directory line is not address=name");
        if (names.Lookup(TQuickList::KeyOf(line)).empty())
            qtm_fuzz::BrokenPromise("an address in the directory finds no name");
    }
    names.Lookup("198.18.0.1");
    names.Lookup(std::string(qtm_fuzz::AsText(data, size)));

    // A refresh that brings the same list changes nothing.
    std::vector<std::string> before;
    for (int i = 0; i < names.Count(); ++i)
        before.push_back(names[i]);
    NormalizeHostNames(names);
    if (size_t(names.Count()) != before.size())
        qtm_fuzz::BrokenPromise("normalising a normal directory drops lines");
    return 0;
}
