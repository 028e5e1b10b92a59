// Replaced by the verification code.
