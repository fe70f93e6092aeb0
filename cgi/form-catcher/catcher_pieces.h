// The pages form-catcher answers with, piece by piece in the order they are written.
#pragma once

namespace halyard::catcher {

// No form data at all.
inline constexpr const char* kUsagePage[] = {
    "<html>\n",
    "<title>Incorrect usage with form-catcher.cgi</title> \n",
    "<body><B>form-catcher.cgi</B> requires passing of arguements via hidden fields<br>\n",
    "Make sure that you have fill in both Success URL and Error URL in your Components box.<br>",
    "</body>\n",
};

// Not exactly one each of the three hidden fields.
inline constexpr const char* kMisconfigurationPage[] = {
    "<html>\n",
    "form-catcher misconfiguration, one or more of the 3 require fields is missing<br>\n",
    "The require fields are: success, error, filename\n<br>",
    "</html>",
};

// The form's file name would leave the data folder (a drive, a leading separator, "..").
inline constexpr const char* kFileNameRefusedPage[] = {
    "<html>\n",
    "<title>form-catcher refused the file name</title> \n",
    "<body><B>form-catcher.cgi</B> does not allow the file name in the form's filename field: "
    "it must name a file inside the data folder.<br>\n",
    "Give a plain file name, without a drive, a leading slash or \"..\", in your Components "
    "box.<br>",
    "</body>\n",
    "</html>\n",
};

// The data file could not be written: the visitor learns that nothing was kept.
inline constexpr const char* kNotStoredPage[] = {
    "<html>\n",
    "<title>form-catcher could not store the data</title> \n",
    "<body><B>form-catcher.cgi</B> could not store the submitted data.<br>\n",
    "Please try again later.<br>",
    "</body>\n",
    "</html>\n",
};

// Refresh pages: open, the URL, then kErrorUrlEnd or kSuccessUrlEnd, then close.
inline constexpr const char* kRefreshOpen[] = {
    "<html>\n",
    "<head>\n",
    "<meta http-equiv=\"Refresh\" content=\"0; URL=",
};
inline constexpr const char* kErrorUrlEnd = "\">\n";
inline constexpr const char* kSuccessUrlEnd = "\">";
inline constexpr const char* kRefreshClose[] = {
    "</head>\n",
    "</html>\n",
};

inline constexpr const char* kDefaultDataDirectory = "C:\\webdata\\";

}  // namespace halyard::catcher
