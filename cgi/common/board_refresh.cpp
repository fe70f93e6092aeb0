#include "board_refresh.h"

#include <string>

#include "board_config.h"
#include "cgi_request.h"

namespace halyard::cgi {

void AnswerBoardSuccess(CgiRequest& request, const BoardConfig& config) {
  std::string url = config.boardUrlBase + "/html/success.html";
  request.WriteText(kSuccessOpen);
  request.WriteText(kRefreshMeta);
  request.WriteText(url.c_str());
  request.WriteText(kSuccessUrlEnd);
  request.WriteText(kSuccessClose);
}

void AnswerBoardError(CgiRequest& request, const BoardConfig& config) {
  std::string urlAndQuote = config.boardUrlBase + "/html/error.html\"";
  request.WriteText(kErrorOpen);
  request.WriteText(kRefreshMeta);
  request.WriteText(urlAndQuote.c_str());
  request.WriteText(kErrorClose);
}

}  // namespace halyard::cgi
