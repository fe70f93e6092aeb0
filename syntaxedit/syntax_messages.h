// The window messages of the syntax edit control and the identifier of its inner rich edit
// control.
#pragma once

#include "platform/user/user_types.h"

constexpr UINT SYNTAX_RICHEDIT_ID = 1001;

constexpr UINT SEM_SETREADONLY = WM_USER + 400;
constexpr UINT SEM_SETFIXKEY = WM_USER + 401;
constexpr UINT SEM_SETPAIRKEY = WM_USER + 402;
constexpr UINT SEM_SETVARKEY = WM_USER + 403;
constexpr UINT SEM_SETCONTENT = WM_USER + 404;
constexpr UINT SEM_GETCONTENTLENGTH = WM_USER + 405;
constexpr UINT SEM_GETCONTENT = WM_USER + 406;
constexpr UINT SEM_GETLISTOFCHANGES = WM_USER + 407;
constexpr UINT SEM_UNDOLASTCHANGE = WM_USER + 408;
constexpr UINT SEM_SETBACKGROUND = WM_USER + 409;
constexpr UINT SEM_SETINITFORMAT = WM_USER + 410;
constexpr UINT SEM_SETDEFAULTFONT = WM_USER + 411;
constexpr UINT SEM_SETPROTECTFIELD = WM_USER + 413;
constexpr UINT SEM_INSERTTEXT = WM_USER + 414;
constexpr UINT SEM_SETPROTECT = WM_USER + 415;
constexpr UINT SEM_GETSEL = WM_USER + 416;
constexpr UINT SEM_SETSEL = WM_USER + 417;
constexpr UINT SEM_GETPROTECT = WM_USER + 418;

// What SEM_INSERTTEXT puts in place of text the host keeps aside.
constexpr const char* HIDDEN_TEXT_MARKER = "[[Hidden Text]]";
