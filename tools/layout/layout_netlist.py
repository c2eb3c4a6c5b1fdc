# The nets of a cell as vornax-layout needs them, from KLayout's hierarchical netlist: a module of
# vornax_layout.py (see there), which hands in the script's variables.

import pya


class LayoutError(Exception):
    """A reason why the layout cannot be converted, as one line for the user."""


def parse_gds_layer(text):
    layer, datatype = text.split("/")
    return int(layer), int(datatype)


def shown_gds(gds):
    return "%d/%d" % gds


def check_rectilinear(region, name, gds, units):
    for polygon in region.non_rectilinear().each():
        for edge in polygon.each_edge():
            if edge.dx() != 0 and edge.dy() != 0:
                raise LayoutError(
                    "layer %s (%s): the shape with the edge from %s to %s um is not made of "
                    "axis-parallel rectangles"
                    % (shown_gds(gds), name, units.point(edge.p1.x, edge.p1.y),
                       units.point(edge.p2.x, edge.p2.y))
                )


def check_label(text, where):
    if text == "":
        raise LayoutError("an empty label %s cannot name a net" % where)
    if len(text.split()) != 1 or text != text.strip():
        raise LayoutError("the label '%s' %s holds white space" % (text.replace("\n", " "), where))


def cell_token(name):
    """A cell name as part of a net name: white space and control characters become '_'."""
    return "".join("_" if ord(c) <= 32 or ord(c) == 127 else c for c in name)


def trans_key(t):
    return (t.disp.x, t.disp.y, t.angle, t.is_mirror(), t.mag)


class Extraction:
    """The hierarchical netlist of the cell and what the walk needs of each of its circuits."""

    def __init__(self, layout, top, layers, connect, labels):
        """`layers`, `connect` and `labels` as the script's variables of those names."""
        self.layout = layout
        self.l2n = pya.LayoutToNetlist(pya.RecursiveShapeIterator(layout, top, []))
        # Instances whose nets reach nothing outside them hold nets all the same.
        self.l2n.include_floating_subcircuits = True
        self.names, gds = zip(*(item.split("=") for item in layers.split()))
        self.gds = [parse_gds_layer(g) for g in gds]
        self.metals = [self.l2n.make_polygon_layer(layout.layer(*g), n)
                       for n, g in zip(self.names, self.gds)]
        self.labels = []  # ((layer, datatype), layer number, text layer as a region)
        for k, item in enumerate(labels.split()):
            g, number = item.split(":")
            texts = self.l2n.make_text_layer(layout.layer(*parse_gds_layer(g)), "text%d" % k)
            self.l2n.connect(self.metals[int(number)], texts)
            region = self.l2n.layer_by_name("text%d" % k)
            self.labels.append((parse_gds_layer(g), int(number), region))
        for region in self.metals:
            self.l2n.connect(region)
        for pair in connect.split():
            a, b = (int(k) for k in pair.split("-"))
            self.l2n.connect(self.metals[a], self.metals[b])
        self.l2n.extract_netlist()
        self.circuit_parts = {}  # circuit name -> its nets' own shapes and labels
        self.instance_names = {}  # parent cell name -> {(child name, trans key): "CELL[N]/"}

    def parts(self, circuit):
        """Per net of `circuit`: (net, [(layer, own shapes)], [(label layer, own text)])."""
        found = self.circuit_parts.get(circuit.name)
        if found is None:
            found = []
            for net in circuit.each_net():
                shapes = [(k, self.l2n.shapes_of_net(net, m, False))
                          for k, m in enumerate(self.metals)]
                texts = []
                for k, (g, number, region) in enumerate(self.labels):
                    own = pya.Shapes()
                    self.l2n.shapes_of_net(net, region, False, own, 0)
                    texts += [(k, s.text) for s in own.each() if s.is_text()]
                found.append((net, [(k, r) for k, r in shapes if not r.is_empty()], texts))
            self.circuit_parts[circuit.name] = found
        return found

    def instance_name(self, parent, subcircuit, trans):
        """"CELL[N]/" for the instance `subcircuit` of `parent` (its transformation `trans`)."""
        names = self.instance_names.get(parent.name)
        if names is None:
            members = {}
            parent_cell = self.layout.cell(parent.name)
            for inst in parent_cell.each_inst() if parent_cell else []:
                for t in inst.cell_inst.each_cplx_trans():
                    box = inst.cell.bbox().transformed(t)
                    members.setdefault(inst.cell.name, []).append(
                        (box.bottom, box.left, trans_key(t)))
            names = {}
            for child, found in members.items():
                for n, (_, _, key) in enumerate(sorted(found)):
                    names.setdefault((child, key), "%s[%d]/" % (cell_token(child), n + 1))
            self.instance_names[parent.name] = names
        child = subcircuit.circuit_ref().name
        name = names.get((child, trans_key(trans)))
        if name is None:  # an instance KLayout made up, named after its place instead
            name = "%s@%d_%d/" % (cell_token(child), trans.disp.x, trans.disp.y)
        return name


class Walk:
    """The nets of cells within the clip box, joined to the nets of the whole cell."""

    def __init__(self, extraction, clip, units, subcell_labels):
        self.x, self.clip, self.units = extraction, clip, units
        self.subcell_labels = subcell_labels  # whether labels below the top cell name nets
        self.to_dbu = pya.CplxTrans(units.raw)  # database units to micrometres
        self.parent = {}  # union-find over (path, cluster id)
        self.shapes = {}  # (path, cluster id) -> [(layer, region in top coordinates)]
        self.labels = {}  # (path, cluster id) -> [(depth, x, y, label layer, path bytes, name)]
        self.warnings = []

    def find(self, key):
        root = key
        while self.parent.setdefault(root, root) != root:
            root = self.parent[root]
        while self.parent[key] != root:
            self.parent[key], key = root, self.parent[key]
        return root

    def join(self, a, b):
        a, b = self.find(a), self.find(b)
        if a != b:
            self.parent[max(a, b)] = min(a, b)

    def reaches_clip(self, circuit, trans):
        if self.clip is None:
            return True
        box = self.x.l2n.internal_layout().cell(circuit.cell_index).bbox().transformed(trans)
        return box.touches(self.clip)

    def inside(self, x, y):
        return self.clip is None or self.clip.contains(pya.Point(x, y))

    def visit(self, circuit, path, names, trans):
        depth = len(path)
        for net, shapes, texts in self.x.parts(circuit):
            key = (path, net.cluster_id)
            self.find(key)
            for k, region in shapes:
                placed = region.transformed(trans)
                if self.clip is not None:
                    placed &= pya.Region(self.clip)
                if not placed.is_empty():
                    self.shapes.setdefault(key, []).append((k, placed))
            for k, text in texts:
                if depth > 0 and not self.subcell_labels:
                    continue
                t = text.transformed(trans)
                if not self.inside(t.x, t.y):
                    continue
                where = "at %s um on layer %s" % (self.units.point(t.x, t.y),
                                                  shown_gds(self.x.labels[k][0]))
                check_label(text.string, where)
                self.labels.setdefault(key, []).append(
                    (depth, t.x, t.y, k, len(names.encode("utf-8")), names + text.string))
        for sub in circuit.each_subcircuit():
            child = sub.circuit_ref()
            local = self.to_dbu.inverted() * sub.trans * self.to_dbu
            placed = trans * local
            if not self.reaches_clip(child, placed):
                continue
            child_path = path + (sub.id(),)
            for net in child.each_net():
                for pin in net.each_pin():
                    above = sub.net_for_pin(pin.pin_id())
                    if above is not None:
                        self.join((child_path, net.cluster_id), (path, above.cluster_id))
            name = names + self.x.instance_name(circuit, sub, local)
            self.visit(child, child_path, name, placed)

    def label_line(self, label):
        depth, x, y, k, path_bytes, name = label
        return "label %d %d %d %s %d %s" % (depth, x, y, shown_gds(self.x.labels[k][0]),
                                            path_bytes, name)

    def stray(self, label):
        """The warning for a label that touches nothing (KLayout makes it a net of its own)."""
        depth, x, y, k, path_bytes, name = label
        gds, metal, _ = self.x.labels[k]
        self.warnings.append(
            "the label '%s' at %s um on layer %s touches no shape of %s and names nothing"
            % (name[path_bytes:], self.units.point(x, y), shown_gds(gds), self.x.names[metal]))

    def nets(self):
        """Per net of the whole cell with shapes in the box: (label lines, box lines)."""
        grouped = {}
        for key in sorted(self.parent):
            root = self.find(key)
            regions, labels = grouped.setdefault(root, ({}, []))
            for k, region in self.shapes.get(key, []):
                regions.setdefault(k, pya.Region()).insert(region)
            labels += self.labels.get(key, [])
        result = []
        for root in sorted(grouped):
            regions, labels = grouped[root]
            if not regions:
                for label in sorted(labels):
                    self.stray(label)
                continue
            lines = [self.label_line(label) for label in labels]
            boxes = []
            for k in sorted(regions):
                merged = regions[k].merged()
                check_rectilinear(merged, self.x.names[k], self.x.gds[k], self.units)
                boxes += ["box %d %d %d %d %d" % (k, b.left, b.bottom, b.right, b.top)
                          for b in boxes_of(merged)]
            if boxes:
                result.append((sorted(set(lines)), boxes))
        return result


def boxes_of(region):
    for polygon in region.decompose_trapezoids_to_region(pya.Polygon.TD_htrapezoids).each():
        if not polygon.is_box():
            raise LayoutError("internal: a rectilinear shape did not decompose into boxes")
        yield polygon.bbox()


