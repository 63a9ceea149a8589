# Tests of the Internet access layer and HTML scanning.
