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
    "[DEBUT]\r\n"
    "qxflux.exe\t--\t3\t1677554\tdelta\tFALSE\tFALSE\t\tba7816bf8f01cfea414140de5dae2223b0036"
    "1a396177a9cb410ff61f20015ad\r\n"
    "[FIN]\r\n";
// The signing key's public half, and another site's.
inline constexpr char kKeyA[] = "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEVW7lKizUhD7RFIVseeFJ1PYxGl6gaZ"
                                "6tP4nzq2GUKjeIsT/aYmf/2RJRBPaM+S9Y+Tfy3dOdhU1YDzR8PN7H1A==";
inline constexpr char kKeyB[] = "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEh0sIezEOe79FY62DuAzrIcK9QAsQam"
                                "rRQj9Q2f7kDt97Wl4/LgjJ22PyDWXi5PCcqFNhXgAMqBOAAgrIp9fGIA==";
// Version "2.0", by key A; the same by key B.
inline constexpr char kSignedByA[] =
    "1 4102444800 "
    "MEUCIQDEw44+iEnDJCpn01p4z4U31O5xbOIsQOg8v2ICCUe4rwIgeGWHzaOYYy9RBJN/"
    "dxK262vY5v3UgHTzjHiombUpqf8=";
inline constexpr char kSignedByB[] =
    "1 4102444800 "
    "MEQCIBhypZnd9ZGrPmK896thcvImdp9v8r/"
    "hy+iC0oAEDcu+AiAhZizS1ow3omWctiqyaVrIYtsN+UqtFacdd3WgYKlQBA==";
// Version "1.0": the list of another version.
inline constexpr char kSignedForVersion1[] =
    "1 4102444800 "
    "MEQCIHFKRuc3+Pw7lz4DQcezwx7+"
    "A34WbZ97ScswCFlzNNJEAiBVVJW9icGr7teBFV2QgpeusP2psc8W1iAPjxJ6UVjLtg==";
// Service GetAppPrimary, version "2.0".
inline constexpr char kSignedForPrimary[] =
    "1 4102444800 "
    "MEUCIQDESrh08Q1ORI/FiLJe7+0sLqZt2wxt5OWrxtWh+Y3sDgIgZbSnJ+eGcsG+m3rUD2OAF/"
    "j1G1admwT+32ThvKy5dVs=";
// Version "2.0", expired in 2001.
inline constexpr char kSignedExpired[] =
    "1 1000000000 "
    "MEUCIEHcrhl2aYnzY46AqBq49+"
    "InpuoEZyH3ymaMOC08JehOAiEAvNcxRaDZKe7idXQp47c48X1BPNGdpVCPkTHIyIV1CpQ=";
// Version "2.0" by key A, with an r of 31 bytes (padded for CNG).
inline constexpr char kSignedShortR[] =
    "1 4102444800 "
    "MEMCH0xraQpHHyw9qtewcVGiPFx6c8cTsX0YGPcQP+4x9XoCIEGBJVM9XLXn82QDJdcU8KX91fCopFJq8pdLcgZ08FFm";

} // namespace signedvectors
