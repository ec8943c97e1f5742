// A Sniffer.ini as a user may write it, read through the reader the window uses: every key of
// the program, as text and as a number, under the section and under names close to it.
#include "FuzzSupport.h"

#include "settings/IniFile.h"
#include "settings/SnifferSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qtm_fuzz::TMemoryFile file(qtm_fuzz::AsText(data, size));
    TIniFile ini(file.Path());
    static const char* const keys[]
        = { "SnifferService", "BoldCharCount", "IPSource", "LineCapacityInBit", "LineCapacityOutBit", "" };
    for (const char* section : { SnifferSettings::Section, "settings", "" }) {
        for (const char* key : keys) {
            std::string value = ini.ReadString(section, key, "default");
            if (value.find('\n') != std::string::npos)
                qtm_fuzz::BrokenPromise("a setting's value spans a line break");
            ini.ReadInteger(section, key, -7);
        }
    }
    return 0;
}
