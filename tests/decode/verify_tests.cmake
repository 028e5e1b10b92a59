# Tests of the image tester, CSV index and CRC-32.
