#pragma once

#include <cstdint>
#include <vector>

/// The grounded window's entries of a level's rows, from Gauss's law. The walls are sheets in a
/// kernel whose layers go on past them, so a wall panel's unknown charge is the sum of what its
/// two sides carry: the inside's, which belongs to the structure, and the outside's, which the
/// window's own potential puts on the walls' far side and which the structure does not have
/// (nothing is outside the window). The wall net's free charge on its inside cannot be told
/// apart from that; but every other conductor lies inside the window and carries charge on its
/// inside only, and the charges inside a closed grounded box sum to zero. So the entry of row r
/// at the window's net is minus the sum of the row's other entries, and every row sums to zero.
/// The window's own row takes, where the other net's row is computed too, that row's entry at the
/// window (the matrix is symmetric), which its own solve resolves less well.
/// `rows[r]` is the conductor of row r of `matrix` (rows.size() by `conductors`).
void close_window_rows(const std::vector<int32_t>& rows, int32_t conductors, uint32_t window_net,
                       std::vector<double>& matrix);
