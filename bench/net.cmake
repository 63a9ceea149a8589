# The Internet access layer and HTML scanning.
