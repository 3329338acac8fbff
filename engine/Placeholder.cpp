// Replaced as the controller is built.
