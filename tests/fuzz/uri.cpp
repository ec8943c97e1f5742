// Locations as the settings file and a name-list setting give them: the split into parts, the
// path normalisation and the location rebuilt from the parts.
#include "FuzzSupport.h"

#include "base/Exception.h"
#include "net/NetURI.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string location(qtm_fuzz::AsText(data, size));
    TNetURI uri(location);
    uri.GetFullURI();
    std::string path = "/" + location;
    std::string normal = TNetURI::NormalizePath(path);
    if (normal.empty() || normal[0] != '/')
        qtm_fuzz::BrokenPromise("a normalised absolute path is no longer absolute");
    if (normal.find("/../") != std::string::npos)
        qtm_fuzz::BrokenPromise("a normalised path still climbs");
    if (TNetURI::NormalizePath(normal) != normal)
        qtm_fuzz::BrokenPromise("normalising twice changes the path");
    return 0;
}
