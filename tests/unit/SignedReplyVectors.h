#pragma once

// Signed replies made once with two key pairs from "qxserver keygen" (the private keys were
// not kept) and signed by openssl's own command line over the signed text built by a separate
// script, so that the launcher's reading of the format is checked against another writer.
// Each signs GetAppChecksum of application "Demo" with kSignedBody unless its name says
// otherwise; expiry 4102444800 (2100-01-01) unless it is the expired one (1000000000).

namespace signedvectors {

inline constexpr char kSignedBody[] =
    "COLONNES=FileName|S;FilePath|S;FileSize|I;FileChecksum|I;FileMode|S;IsActiveX|B;"
    "HasToBeLaunched|B;Parameters|S;FileSha256|S;\r\n"
    "TBLDATBEGIN_99\r\n"
    "qxflux.exe\t--\t3\t1677554\tdelta\tFALSE\tFALSE\t\tba7816bf8f01cfea414140de5dae2223b0036"
    "1a396177a9cb410ff61f20015ad\r\n"
    "TBLDATEND_99\r\n";
// The signing key's public half, and another site's.
inline constexpr char kKeyA[] =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEVW7lKizUhD7RFIVseeFJ1PYxGl6gaZ6tP4nzq2GUKjeIsT/a"
    "Ymf/2RJRBPaM+S9Y+Tfy3dOdhU1YDzR8PN7H1A==";
inline constexpr char kKeyB[] =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEh0sIezEOe79FY62DuAzrIcK9QAsQamrRQj9Q2f7kDt97Wl4/"
    "LgjJ22PyDWXi5PCcqFNhXgAMqBOAAgrIp9fGIA==";
// Version "2.0", by key A; the same by key B.
inline constexpr char kSignedByA[] =
    "1 4102444800 MEUCIQCGLGY3ZnOLbvBTek3/DBsovobTUtFOuLgdc69hAss8SAIgbppi3Bx0SkExj+WZU+f"
    "LhcqOf6+DZztW42Pmtq6VcvY=";
inline constexpr char kSignedByB[] =
    "1 4102444800 MEQCIDeLdpeAQi4p+2eRiSMrd6hJvVtuNA68E+eR3B5/mv3lAiBl0PgzArE4wDf9T9UjdmF"
    "haaMLCXQMXzzCi0d9b8EBrQ==";
// Version "1.0": the list of another version.
inline constexpr char kSignedForVersion1[] =
    "1 4102444800 MEQCIBV0l7upqD8EniZglUYMiFhvqTRhx6X4buzKumECxJCAAiA4Me7qkzCVXaBMK5mcOza"
    "+azBNQD76pgS0mpp90GsUyQ==";
// Service GetAppPrimary, version "2.0".
inline constexpr char kSignedForPrimary[] =
    "1 4102444800 MEUCIQDaW5Ivm7r9zD+FQMguitcGBUgvyJoi28FdaJWp1vaogQIgWRVqS9WPdD0G3cLe5MO"
    "U8O/SRASa03P2vBmDTC4udDY=";
// Version "2.0", expired in 2001.
inline constexpr char kSignedExpired[] =
    "1 1000000000 MEUCIAsGhMsuLbFmgG+biWsGQcDStkpVX+uJjl6lNTBMuXxjAiEA/CVsJsIhT9nU44ytZfq"
    "ipGdi1tDP/fHyxwbfV1Fr+rQ=";
// Version "2.0" by key A, with an r of 31 bytes (padded for CNG).
inline constexpr char kSignedShortR[] =
    "1 4102444800 MEMCHwMcupKhoOLizOB8ITBa9H/yyQA0yUL7VOKCmEtSOIACIB1g7KewH2bYv+DjCg4bbMh"
    "nuoaSUoPxN1hypY0RjhoR";

} // namespace signedvectors
