#pragma once

// Made by make-signed-vectors.sh: signed replies from two key pairs (the private keys were
// not kept), signed by openssl's own command line over the signed text built by that script,
// so that the launcher's reading of the format is checked against another writer. Each signs
// GetAppChecksum of application "Demo" for user "ann" with kSignedBody unless its name says
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
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEquSNvSm7pOeG14JV2CQgHIwkrdfjanBmGQc0vxSMzWyQ"
    "bGv2FXo0Y0+Nu/GbJFO17Z1gbqjBYAKPWREHy+cdzQ==";
inline constexpr char kKeyB[] =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAED1nONTVaIAgYyqR0PstM3oZmwEooLw77HWIK4wlRvMYz"
    "KX7UlaNoNfFqVZ4041cf/kg+JNIVlyK2OCFS+gQPmw==";
// Version "2.0", by key A.
inline constexpr char kSignedByA[] =
    "2 4102444800 MEYCIQCb2q5IVfw2m4Cdhv1VRdqHLdjzKlaCxzKzdavP9ypvjQIhAMji37S5MvuilyR"
    "DU5Af8urR/tHncIR9/RcoWaK/u3Lc";
// The same by key B.
inline constexpr char kSignedByB[] =
    "2 4102444800 MEUCIQCDt4PgPQzMZefHPwwJItnkeoz7wyIuz1/VznUDDz1mWQIgDelphgdCuRL0D5M"
    "iN4Y8Pd09room7Fxf7SWmMivkow4=";
// Version "1.0": the list of another version.
inline constexpr char kSignedForVersion1[] =
    "2 4102444800 MEYCIQCYLqjSwVATbxqO3c7RLZspGmvDS3mYcVEFx8XgcdZjEgIhAMszjBZPiOlg13H"
    "bvX6+U8XyHf6kFgEyK0d0hAehnj2k";
// Service GetAppPrimary, version "2.0".
inline constexpr char kSignedForPrimary[] =
    "2 4102444800 MEUCIQDFdhDffCpYZblLGgxXe2FuLKQw1NZ1WAaM7cK2mjPYEQIgRS3j+9L0JNKOqT2"
    "NPHukl6pka9IITCa6jxIIcP47lvA=";
// Version "2.0" for user "bob": the reply of another user.
inline constexpr char kSignedForBob[] =
    "2 4102444800 MEUCIF7DJUc5Cr4XrfYOnYidwZA2Sy1jPCIW8UNijhVTD29YAiEA6CodRHr9QW7TPw9"
    "F4fMzRuKc4ZlA4CW2wGROLMfjY6M=";
// Version "2.0", expired in 2001.
inline constexpr char kSignedExpired[] =
    "2 1000000000 MEUCIAzLw8/xUcdrP/lo9yW58lS1tK5lx/UYXL+m0kQdy2U2AiEAksEbsYrEdTrqfh0"
    "R/t3RVGmfc8cdAYYRMxY0ywQMoEY=";
// Version "2.0" by key A, with an r of 31 bytes (padded for CNG).
inline constexpr char kSignedShortR[] =
    "2 4102444800 MEMCHzWLdX5z0Q8YsJeygDne1Xsf7+V4caGlVqRELTkZbQICIFtmypVG03gQhMukWEN"
    "U0DgAmqwtM5N0i9OF749clbSI";

} // namespace signedvectors
