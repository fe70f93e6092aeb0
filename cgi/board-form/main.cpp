// board-form: the CGI program that serves the board's new-message and reply forms.
#include <csignal>

#include "board_form.h"
#include "cgi/common/cgi_request.h"

int main() {
  std::signal(SIGPIPE, SIG_IGN);
  StdCgiRequest request;
  return halyard::board::HandleForm(request);
}
