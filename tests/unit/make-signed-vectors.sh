#!/usr/bin/env bash
# Writes SignedReplyVectors.h to standard output: two new P-256 key pairs (the private keys are
# thrown away) and replies signed by openssl's command line over the signed text built here,
# apart from the launcher's own code.
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

body=$'COLONNES=FileName|S;FilePath|S;FileSize|I;FileChecksum|I;FileMode|S;IsActiveX|B;HasToBeLaunched|B;Parameters|S;FileSha256|S;\r\nTBLDATBEGIN_99\r\nqxflux.exe\t--\t3\t1677554\tdelta\tFALSE\tFALSE\t\tba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\r\nTBLDATEND_99\r\n'

for key in A B; do
    openssl ecparam -name prime256v1 -genkey -noout -out "$work/$key.pem"
    openssl ec -in "$work/$key.pem" -pubout -outform DER 2>/dev/null | base64 -w0 >"$work/$key.pub"
done

field() { printf '%d:%s\n' "${#1}" "$1"; }

# The text of format 2: service, application, version, user, expiry, body.
text() { # service version user expires
    local LC_ALL=C
    printf 'QXLauncher signed reply 2\n'
    field "$1"; field Demo; field "$2"; field "$3"; field "$4"; field "$body"
}

# "2 EXPIRES BASE64" by key over the text; with short, only a signature whose r has 31 bytes.
sign() { # key service version user expires [short]
    local der
    while :; do
        text "$2" "$3" "$4" "$5" >"$work/text"
        openssl dgst -sha256 -sign "$work/$1.pem" -out "$work/sig" "$work/text"
        der="$(xxd -p "$work/sig" | tr -d '\n')"
        [ -z "${6:-}" ] || [ "${der:6:2}" = 1f ] && break
    done
    printf '2 %s %s' "$5" "$(base64 -w0 "$work/sig")"
}

# A C++ literal of text, cut in pieces of 80 characters.
literal() { printf '%s' "$1" | fold -w 80 | sed 's/.*/    "&"/'; }

cat <<HEAD
#pragma once

// Made by make-signed-vectors.sh: signed replies from two key pairs (the private keys were
// not kept), signed by openssl's own command line over the signed text built by that script,
// so that the launcher's reading of the format is checked against another writer. Each signs
// GetAppChecksum of application "Demo" for user "ann" with kSignedBody unless its name says
// otherwise; expiry 4102444800 (2100-01-01) unless it is the expired one (1000000000).

namespace signedvectors {

inline constexpr char kSignedBody[] =
    "COLONNES=FileName|S;FilePath|S;FileSize|I;FileChecksum|I;FileMode|S;IsActiveX|B;"
    "HasToBeLaunched|B;Parameters|S;FileSha256|S;\\r\\n"
    "TBLDATBEGIN_99\\r\\n"
    "qxflux.exe\\t--\\t3\\t1677554\\tdelta\\tFALSE\\tFALSE\\t\\tba7816bf8f01cfea414140de5dae2223b0036"
    "1a396177a9cb410ff61f20015ad\\r\\n"
    "TBLDATEND_99\\r\\n";
// The signing key's public half, and another site's.
HEAD
vector() { # name comment value
    printf '// %s\ninline constexpr char %s[] =\n%s;\n' "$2" "$1" "$(literal "$3")"
}
vector kKeyA "" "$(cat "$work/A.pub")" | sed 1d
vector kKeyB "" "$(cat "$work/B.pub")" | sed 1d
vector kSignedByA 'Version "2.0", by key A.' "$(sign A GetAppChecksum 2.0 ann 4102444800)"
vector kSignedByB 'The same by key B.' "$(sign B GetAppChecksum 2.0 ann 4102444800)"
vector kSignedForVersion1 'Version "1.0": the list of another version.' \
    "$(sign A GetAppChecksum 1.0 ann 4102444800)"
vector kSignedForPrimary 'Service GetAppPrimary, version "2.0".' \
    "$(sign A GetAppPrimary 2.0 ann 4102444800)"
vector kSignedForBob 'Version "2.0" for user "bob": the reply of another user.' \
    "$(sign A GetAppChecksum 2.0 bob 4102444800)"
vector kSignedExpired 'Version "2.0", expired in 2001.' "$(sign A GetAppChecksum 2.0 ann 1000000000)"
vector kSignedShortR 'Version "2.0" by key A, with an r of 31 bytes (padded for CNG).' \
    "$(sign A GetAppChecksum 2.0 ann 4102444800 short)"
printf '\n} // namespace signedvectors\n'
