// post-board: stores one posted board message (its page, the message counter and its line in
// the index page) and answers with a refresh to the board's success or error page.
#pragma once

class CgiRequest;

namespace halyard::board {

// Handles one request; the reply goes through the request object. Returns the exit status.
int HandlePost(CgiRequest& request);

}  // namespace halyard::board
