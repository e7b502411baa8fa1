#pragma once

#include <string>

#include "QXReply.h"

// The launchers' wire text: every form value and every reply body travels in a Windows ANSI
// code page, the one of the launchers' locale: the site's (--code-page), or by default that of
// the request's "lang" (932 for "ja", 1252 otherwise); inside, the server holds UTF-8.

// Whether codePage is one the site may choose: 874, 932, 936, 949, 950, 1250 to 1258.
bool QXIsWireCodePage(long long codePage);

// Makes codePage the site's for every request; set once, before the server starts.
void QXSetSiteCodePage(unsigned codePage);

// The code page of a request's "lang".
unsigned QXWireCodePage(const std::string& lang);

// Bytes of the code page as UTF-8.
std::string QXFromWire(const std::string& bytes, const std::string& lang);

// UTF-8 in the code page; a character the page lacks becomes '?'.
std::string QXToWire(const std::string& utf8, const std::string& lang);

// Re-encodes a reply held in memory for the wire and names the code page in its content type:
// the code page of the reply's textLanguage when it has one, else of the request's "lang".
// A reply already re-encoded is left as it is.
void QXReplyToWire(SQXReply& reply, const std::string& requestLang);
