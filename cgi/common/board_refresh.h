// The two replies of the message board's programs that send the browser on to one of the
// board's own pages: its success page and its error page (beside the board's frames, under
// the board directory of "bbs_NT.cfg"). The pieces are written in the order they stand here.
// Pure output; the main thread of a program.
#pragma once

class CgiRequest;
struct BoardConfig;

namespace halyard::cgi {

inline constexpr const char* kRefreshMeta = "<meta http-equiv=\"Refresh\" content=\"0; URL=";
// Success: open, meta, URL, URL end, close.
inline constexpr const char* kSuccessOpen = "<html>";
inline constexpr const char* kSuccessUrlEnd = "\">";
inline constexpr const char* kSuccessClose = "</html>";
// Error: open, meta, URL and a double quote, close.
inline constexpr const char* kErrorOpen = "<html>\n";
inline constexpr const char* kErrorClose = "> \n</html>";

// Refresh to the board URL base followed by "/html/success.html".
void AnswerBoardSuccess(CgiRequest& request, const BoardConfig& config);
// Refresh to the board URL base followed by "/html/error.html".
void AnswerBoardError(CgiRequest& request, const BoardConfig& config);

}  // namespace halyard::cgi
