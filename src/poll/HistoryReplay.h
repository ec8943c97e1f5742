#pragma once

#include <functional>
#include <string>

class TServiceAccess;
class TStringList;

// Replays the service's history at location: each snapshot block goes to the handler as soon as
// it has arrived, so only one block of a history of hundreds of megabytes is held. Answers whether
// any block was applied (the handler's answer).
bool ReplayHistory(
    TServiceAccess& service, const std::string& location, const std::function<bool(const TStringList& block)>& apply);
