// form-catcher: the CGI program that keeps the data of any site form.
#include <csignal>

#include "cgi/common/cgi_request.h"
#include "form_catcher.h"

int main() {
  std::signal(SIGPIPE, SIG_IGN);
  StdCgiRequest request;
  return halyard::catcher::HandleSubmission(request);
}
