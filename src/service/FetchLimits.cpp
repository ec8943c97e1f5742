#include "service/FetchLimits.h"

TFetchLimits& FetchLimits()
{
    static TFetchLimits limits;
    return limits;
}
