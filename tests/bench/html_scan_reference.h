// A direct, slow transcription of the page-scanning rules, step by step as they are stated
// (rebuilding the text for every comment, searching to the end of the page for every tag).
// The fast scanner must give the same answers.
#pragma once

#include <string>

namespace quorvel::testing::reference {

struct Hit {
  long position = 0;
  std::string tag;
};

std::string StripComments(std::string text);
Hit FindFrame(long start, const std::string& text);
Hit FindEmbeddedResource(long start, const std::string& text, bool getImages, bool getSounds);
std::string ExtractSource(const std::string& tag);

}  // namespace quorvel::testing::reference
