// board-form: the CGI program that serves the board's new-message and reply forms.
#include <csignal>

#include "board-form/board_form.h"
#include "common/cgi_request.h"

int main() {
  std::signal(SIGPIPE, SIG_IGN);
  StdCgiRequest request;
  return halyard::board::HandleForm(request);
}
