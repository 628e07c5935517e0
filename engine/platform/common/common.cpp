// Code shared by both platform backends.
