#pragma once

#include <cstdint>
#include <vector>

#include "fine/media/layer_stack.h"
#include "structure/fine_structure.h"

/// What a face's panels are in the system of a level.
struct FaceMedium {
  int32_t layer;  // the layer of the stack it lies in: a face across z on a boundary, the
                  // layer on its outside (a conductor's) or above (a dielectric piece's)
  bool piece;     // a dielectric piece: its row is the continuity of eps·(normal field)
  double factor;  // conductor face: free charge per unknown charge, eps outside / eps of the
                  // layer there; piece: c·eps_layer / 4π, with c as in DielectricPiece
};

/// The faces a level meshes and solves: the conductors' faces of a structure, then its
/// dielectric pieces as faces of no conductor, and the stack of its planar layers.
struct SolveFaces {
  FineStructure structure;          // conductor faces as given, then one face per piece, whose
                                    // conductor_of_panel is `no_conductor`
  std::vector<FaceMedium> medium;   // per face
  LayerStack stack;                 // the planar layers; one of `uniform` without any
  uint32_t no_conductor = 0;        // the conductor of a piece's panels: conductors.size()
  int32_t pieces = 0;               // faces that are dielectric pieces, the last ones
  bool symmetric = true;            // no piece and every free-charge factor 1: the system of
                                    // potentials alone, symmetric
  bool uniform = true;              // symmetric, and one permittivity throughout: the vacuum
                                    // solve times that permittivity
  double uniform_permittivity = 1;  // that permittivity, when uniform
};

/// The faces of `structure`, in a medium of `permittivity` where the structure has no planar
/// layers (a panel file).
SolveFaces solve_faces(const FineStructure& structure, double permittivity);
