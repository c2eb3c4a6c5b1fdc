#include "model/panel.h"

#include <cmath>

Panel& Panel::operator=(const Panel& other) {
  conductor = other.conductor;
  for (int v = 0; v < 4; ++v) vertices[v] = other.vertices[v];
  centre = other.centre;
  area = other.area;
  parent = other.parent;
  first_child = other.first_child;
  second_child = other.second_child;
  index = other.index;
  root_index = other.root_index;
  is_split = other.is_split;
  return *this;
}

void Panel::compute_centre() {
  centre.x = (vertices[2].x + vertices[0].x) * 0.5;
  centre.y = (vertices[2].y + vertices[0].y) * 0.5;
  centre.z = (vertices[2].z + vertices[0].z) * 0.5;
}

void Panel::compute_area() {
  double dx = vertices[2].x - vertices[0].x;
  double dy = vertices[2].y - vertices[0].y;
  double dz = vertices[2].z - vertices[0].z;
  area = 1.0;
  if (dx != 0.0) area = dx;
  if (dy != 0.0) area = dy * area;
  if (dz != 0.0) area = dz * area;
  if (area < 0.0) area = -area;
}

double distance(const Point3& a, const Point3& b) {
  double dx = a.x - b.x;
  double dy = a.y - b.y;
  double dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double Panel::panel_size() const {
  double a = distance(vertices[0], vertices[1]);
  double b = distance(vertices[0], vertices[3]);
  return a >= b ? a : b;
}
