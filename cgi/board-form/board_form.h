// board-form: sets the board's files up on first use and serves the new-message form (taking
// a thread number) or, with a thread number as the query, the reply form.
#pragma once

class CgiRequest;

namespace halyard::board {

// Handles one request; the page goes through the request object. Returns the exit status.
int HandleForm(CgiRequest& request);

}  // namespace halyard::board
