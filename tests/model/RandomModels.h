// Random and adversarial model files and material libraries for the differential tests and the fuzzers'
// seed corpus: keywords as names, missing and glued numbers, faces before any "usemtl" or naming unknown
// materials, quads, forms that do not match the material, CRLF line ends, over-long tokens.
#pragma once

#include <random>
#include <string>
#include <vector>

struct RandomModelSet {
  std::string model;                       // "model.obj"
  std::vector<std::string> libraryNames;   // the libraries written (some the model names, some not)
  std::vector<std::string> libraries;
  std::vector<std::string> goodTextures;   // names of texture files that exist and load
};

RandomModelSet MakeRandomModelSet(std::mt19937& random);
