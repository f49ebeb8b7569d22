#pragma once
// The fixed texts of the transport: the failures of SSL initialisation (they go to LastError)
// and of accepting a TLS connection (they go to the event log).

// SSL initialisation. Each failure text about a file is followed by "\r\n" and OpenSSL's
// reason (at most 127 characters).
inline constexpr char kSslLoadFailedText[] =
    "Unable to load OpenSSL libraries (DLLs); SSL functionality disabled";
inline constexpr char kSslContextFailedText[] = "Unable to create SSL context";
/// Followed by the file name and kSslFileTextEnd.
inline constexpr char kSslCertificateFileText[] = "Error opening certificate file '";
inline constexpr char kSslPrivateKeyFileText[] = "Error opening private key file '";
inline constexpr char kSslFileTextEnd[] = "':\r\n";
inline constexpr char kSslKeyMismatchText[] =
    "Private key does not match the certificate public key:\r\n";
/// The informational entry after a successful initialisation: key file, certificate file.
inline constexpr char kSslInitialisedFormat[] =
    "Using '%s' as a private key and '%s' as a certificate for SSL connections";

// Accepting a TLS connection.
inline constexpr char kSslSessionFailedText[] = "Create SSL session failed (SSL_new)";
/// With the result of the handshake call; OpenSSL's reason may follow after "\r\n".
inline constexpr char kSslAcceptFailedFormat[] = "Error while accepting SSL connection %d";
/// With the time limit in milliseconds.
inline constexpr char kSslHandshakeTimeoutFormat[] =
    "SSL handshake not completed within %d ms; connection refused";
