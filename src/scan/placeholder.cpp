// Intentionally empty until this module gains its first source file.
