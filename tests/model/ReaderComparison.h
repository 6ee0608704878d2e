// The fast readers' passes over memory compared with the literal reference, on the CPU: shared by the
// differential test and the differential fuzzer. Each returns an empty string when everything agrees,
// else what differs first.
#pragma once

#include <string>

#include "LiteralReaders.h"
#include "model/ObjReader.h"

// The library passes (count and properties, textures as the table says) against the reference.
std::string CompareLibrary(const literal::FileTable& table, const std::string& name);
// The model passes, given the materials the reference ended with, against the reference's LoadMesh; the
// face passes share their work as the options say.
std::string CompareModel(const literal::FileTable& table, const std::string& name,
                         const FacePlacementOptions& options = kLoaderFacePlacement);
