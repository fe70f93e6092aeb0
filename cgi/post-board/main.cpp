// post-board: the CGI program that stores a message of the board.
#include <csignal>

#include "cgi/common/cgi_request.h"
#include "post_board.h"

int main() {
  // A server that stops reading must not kill the program between its file updates.
  std::signal(SIGPIPE, SIG_IGN);
  StdCgiRequest request;
  return halyard::board::HandlePost(request);
}
