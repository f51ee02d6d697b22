// Synthetic face galleries for the evaluation tests: every person a random
// base image, each of their images that base with uniform noise; persons
// apart, images of one person close. Reproducible from the seed.
#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "face_dataset.h"

// count images of one person, rows x columns, row after row in 0..255: a
// random base face, and each image that face with uniform noise of up to
// noiseLevel either way. Drawn from random in that order.
inline std::vector<std::vector<int>> NoisyFaces(int count, int rows, int columns, int noiseLevel,
                                                std::mt19937& random) {
    std::uniform_int_distribution<int> level(0, 255), noise(-noiseLevel, noiseLevel);
    std::vector<int> base(static_cast<size_t>(rows * columns));
    for (int& v : base) v = level(random);
    std::vector<std::vector<int>> faces(static_cast<size_t>(count), base);
    for (std::vector<int>& face : faces)
        for (int& v : face) v = std::clamp(v + noise(random), 0, 255);
    return faces;
}

// people enrolled with perPerson gallery images and probesPerPerson probes
// each, then strangers more people with strangerImages probes each.
inline FaceDataset Synthetic(int people, int perPerson, int probesPerPerson, unsigned seed,
                             int strangers = 0, int strangerImages = 0, int rows = 8,
                             int columns = 6, int noiseLevel = 20) {
    FaceDataset dataset;
    dataset.rows = rows;
    dataset.columns = columns;
    dataset.perPerson = perPerson;
    std::mt19937 random(seed);
    std::vector<FaceImage> strangerProbes;
    for (int p = 0; p < people + strangers; ++p) {
        const std::string person = "p" + std::to_string(p);
        const bool enrolled = p < people;
        dataset.people.push_back(person);
        if (enrolled) dataset.enrolled.push_back(person);
        const int images = enrolled ? perPerson + probesPerPerson : strangerImages;
        std::vector<std::vector<int>> faces = NoisyFaces(images, rows, columns, noiseLevel, random);
        for (int k = 0; k < images; ++k) {
            FaceImage image{person, person + "/" + std::to_string(k),
                            std::move(faces[static_cast<size_t>(k)])};
            if (!enrolled)
                strangerProbes.push_back(image);
            else
                (k < perPerson ? dataset.gallery : dataset.probes).push_back(image);
        }
    }
    dataset.probes.insert(dataset.probes.end(), strangerProbes.begin(), strangerProbes.end());
    return dataset;
}
