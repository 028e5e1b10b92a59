// Intentionally empty until the first window lands.
