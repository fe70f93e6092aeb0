// form-catcher: appends the numbered fields of any site form as one tab-separated line to a
// data file and answers with a refresh to the form's success or error page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cgi/common/form_field.h"

class CgiRequest;

namespace halyard::catcher {

// Handles one request; the reply goes through the request object. Returns the exit status.
int HandleSubmission(CgiRequest& request);

// True when a form's file name stays inside the data folder: no leading separator (an
// absolute path), no colon (a drive), no ".." segment.
bool IsSafeFileName(std::string_view name);

// The line stored for the fields (text, ending in a line feed): the values of the numbered
// fields in form order up to the first field without a name, a tab before each but the value
// of field 1, "TRUE" values left out, line feed and tab as blank, carriage return dropped.
std::string DataLine(const std::vector<cgi::FormField>& fields);

}  // namespace halyard::catcher
