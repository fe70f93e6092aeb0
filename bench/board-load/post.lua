-- wrk script for the board load run: each wrk thread (one connection each) sends
-- POSTS_PER_THREAD posts with subjects of its own ("load-<thread>-<n>"), one after the other, and stops once the board
-- answered the last of them. Should wrk still ask for a request after that, it gets a small GET.
local limit = tonumber(os.getenv("POSTS_PER_THREAD") or "250")
local threads = {}
local next_id = 1

function setup(thread)
  thread:set("id", next_id)
  next_id = next_id + 1
  table.insert(threads, thread)
end

-- Per thread; globals, so that done() can read them through thread:get.
sent = 0
accepted = 0
refused = 0
local headers = { ["Content-Type"] = "application/x-www-form-urlencoded" }

-- Before the run starts, wrk calls request() once on its first thread to check the request;
-- that one is never sent, so it must not use up a post.
checked = false

function request()
  if id == 1 and not checked then
    checked = true
    return wrk.format("GET", "/board/html/success.html")
  end
  if sent < limit then
    sent = sent + 1
    local body = string.format(
      "name=Load+client+%d&email=load%d%%40example.org&subject=load-%d-%d" ..
      "&body=post+%d+of+client+%d%%0D%%0Asecond+line&thread=2&parent=1&time=%d" ..
      "&RealTime=Tue,_01_Jan_2030_00:00:00_GMT",
      id, id, id, sent, sent, id, 1900000000000 + id * 100000 + sent)
    return wrk.format("POST", "/cgi-bin/post-board.cgi", headers, body)
  end
  return wrk.format("GET", "/board/html/success.html")
end

function response(status, hdrs, body)
  if string.find(body, "Refresh", 1, true) then
    if string.find(body, "success.html", 1, true) then
      accepted = accepted + 1
    else
      refused = refused + 1
    end
    if accepted + refused >= limit then
      wrk.thread:stop()
    end
  end
end

function done(summary, latency, requests)
  local a, r = 0, 0
  for _, t in ipairs(threads) do
    a = a + t:get("accepted")
    r = r + t:get("refused")
  end
  io.write(string.format("posts answered: %d success, %d error\n", a, r))
end
