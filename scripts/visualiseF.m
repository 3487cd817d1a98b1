function visualiseF(fname, crange)
  % visualiseF(fname, [lo hi]): plot a temperature profile written by Tepora.
  %   fname holds ndr rows (row 1 = strand axis, last row = surface) by ndz
  %   columns (column 1 = inlet) of temperatures in degC. The optional [lo hi]
  %   fixes the colour range in degC, so that the plots of two runs compare;
  %   without it each plot spans its own temperatures.
  %   Beside fname the plot reads, when they are there: the run's report
  %   (OptReport.json for the optimiser's Profile.mat, Summary.json for any
  %   other profile) for the rings' radii, solidus and liquidus, zones,
  %   elements and control points; Strand.csv (simulator) for the surface
  %   temperatures and shells; ../Input/NumSettings.txt for the grid steps
  %   (line 1: dr in m, line 2: dz in m). What is missing is left out of the
  %   plot, which is still drawn; without grid steps the axes show indices.
  %   Writes a PNG beside fname (same name, extension .png); also keeps a
  %   window open when a display is available.
  % A batch plot (octave --eval, as the programs start it) keeps no history:
  % Octave 7 prints an error line at exit when it cannot save one, as where
  % ~/.local/share/octave does not exist.
  args = argv();
  if any(strcmp(args(1:end-1), '--eval')) && ~any(strcmp(args, '--persist'))
    history_save(false);
  end
  if nargin < 1 || isempty(fname)
    fname = 'TempProfile_final.mat';
  end
  % tepora-opt --speeds: each zone's flow (or htc) against the casting speed.
  [~, base, ext] = fileparts(fname);
  % tepora-sim with a casting schedule: the strand's history over time.
  if strcmp(ext, '.csv') && strcmp(base, 'History')
    history(fname, fullfile(fileparts(fname), [base '.png']));
    return;
  end
  if strcmp(ext, '.csv')
    cooling_table(fname, fullfile(fileparts(fname), [base '.png']));
    return;
  end
  if nargin < 2
    crange = [];
  end
  if ~isempty(crange) && ~(isnumeric(crange) && numel(crange) == 2 && ...
                           all(isfinite(crange)) && crange(1) < crange(2))
    printf('visualiseF: the colour range must be [lo hi] with lo < hi; using the data''s\n');
    crange = [];
  end
  try
    T = load('-ascii', fname);
  catch
    printf('visualiseF: cannot read %s, no plot made\n', fname);
    return;
  end
  if isempty(T) || ~isnumeric(T)
    printf('visualiseF: %s holds no temperatures, no plot made\n', fname);
    return;
  end
  % A report of an unexpected shape costs its details, not the plot.
  try
    draw(fname, T, crange, true);
  catch err
    printf('visualiseF: %s; plotted without the run''s reports\n', err.message);
    close all;
    draw(fname, T, crange, false);
  end
end

% TeporaOut/History.csv: the crater end and the end of the liquid pool, the
% surface at each control point, and the casting speed beneath, against
% the casting time; an end beyond the strand (inf) is left out.
function history(fname, png)
  fid = fopen(fname, 'r');
  header = strsplit(fgetl(fid), ',');
  fclose(fid);
  data = dlmread(fname, ',', 1, 0);
  data(~isfinite(data)) = NaN;
  col = @(name) find(strcmp(header, name));
  t = data(:, col('time_s')) / 60;
  points = find(strncmp(header, 'point', 5));
  if isempty(getenv('DISPLAY'))
    warning('off', 'Octave:gnuplot-graphics');
    warning('off', 'print:nogs');
    graphics_toolkit('gnuplot');
  end
  fig = figure('visible', 'off', 'position', [100 100 900 800]);
  subplot(3, 1, 1);
  plot(t, data(:, col('crater_end_m')), '-', t, data(:, col('liquid_pool_end_m')), '--');
  legend('crater end', 'end of the liquid pool', 'location', 'northeast');
  ylabel('m from the meniscus'); grid on;
  subplot(3, 1, 2);
  plot(t, data(:, points));
  legend(strrep(strrep(header(points), '_degC', ''), 'point', 'point '), 'location', 'northeast');
  ylabel('surface, degC'); grid on;
  subplot(3, 1, 3);
  plot(t, data(:, col('speed_m_min')), 'k-');
  xlabel('casting time, min'); ylabel('speed, m/min'); grid on;
  save_png(fig, png);
end

% The plot of the profile T read from fname; `reports` tells whether to read
% the run's reports beside it.
function draw(fname, T, crange, reports)
  [ndr, ndz] = size(T);
  [d, base, ~] = fileparts(fname);
  optimiser = strcmp(base, 'Profile');
  info = [];
  strand = [];
  if reports && optimiser
    info = read_json(fullfile(d, 'OptReport.json'));
    strand = report_strand(field(info, 'strand', []), ndz);
  elseif reports       % the optimiser writes no Strand.csv; one beside it is another run's
    info = read_json(fullfile(d, 'Summary.json'));
    strand = read_strand(fullfile(d, 'Strand.csv'), ndz);
  end

  % Grid: rows at the rings' radii, columns at the slices' centres.
  dr = NaN; dz = NaN;
  fid = fopen(fullfile(d, '..', 'Input', 'NumSettings.txt'), 'r');
  if fid >= 0
    v = fscanf(fid, '%f');
    fclose(fid);
    if numel(v) >= 2 && all(isfinite(v(1:2))) && all(v(1:2) > 0)
      dr = v(1); dz = v(2);
    end
  end
  radii = field(info, 'ring_radii_m', []);
  R = field(info, 'surface_radius_m', NaN);
  if numel(radii) == ndr && all(isfinite(radii)) && all(diff(radii(:)) > 0)
    r = radii(:)';
    if ~(isscalar(R) && isfinite(R) && R > r(end))   % half a ring beyond the last
      R = r(end) + (r(end) - [0, r(1:end-1)](end)) / 2;
    end
  elseif isfinite(dr)
    if ~isempty(radii)
      printf('visualiseF: the report''s %d ring radii do not fit the %d rows; not used\n', ...
             numel(radii), ndr);
    end
    r = ((0:ndr-1) + 0.5) * dr;
    R = ndr * dr;
  else
    r = [];
  end
  if isfinite(dz)
    z = ((0:ndz-1) + 0.5) * dz;
  elseif ~isempty(strand)
    z = strand.z_m';
  else
    z = [];
  end
  metres = ~isempty(r) && ~isempty(z);
  if metres
    rlab = 'radius r (m)';
    zlab = 'distance from the meniscus z (m)';
  else
    r = 0:ndr-1; R = ndr - 0.5;
    z = 0:ndz-1;
    rlab = 'radial cell index (grid steps unknown)';
    zlab = 'axial cell index (grid steps unknown)';
    strand = [];
  end
  Ts = field(info, 'solidus_degC', NaN);
  Tl = field(info, 'liquidus_degC', NaN);
  zones = as_list(field(info, 'zones', []));
  elements = as_list(field(info, 'elements', []));
  points = as_list(field(info, 'control_points', []));
  if ~metres          % positions in metres have no place on index axes
    zones = {}; elements = {}; points = {};
  end

  headless = isempty(getenv('DISPLAY'));
  if headless
    warning('off', 'Octave:gnuplot-graphics');
    warning('off', 'print:nogs');      % PNG goes through gnuplot, not gs
    graphics_toolkit('gnuplot');
    fig = figure('visible', 'off', 'position', [100 100 1000 1050]);
  else
    fig = figure('position', [100 100 1000 1050]);
  end
  pngname = [base '.png'];
  if ~isempty(d)
    pngname = fullfile(d, pngname);
  end
  if ndz > 1          % the slices' outer faces
    zlim = [z(1) - (z(2) - z(1)) / 2, z(end) + (z(end) - z(end-1)) / 2];
  else
    zlim = z(1) + [-0.5 0.5];
  end

  % (a) temperature over radius and distance, rows placed at the rings'
  % radii: each ring fills the band from the midpoints to its neighbours
  % (the axis, the surface) on a fine uniform grid of the radius.
  ax1 = axes('position', [0.08 0.66 0.86 0.25]);
  if metres
    edges = [0, (r(1:end-1) + r(2:end)) / 2, R];
    rf = ((1:400) - 0.5) * R / 400;
    ring = min(max(lookup(edges, rf), 1), ndr);
    imagesc(z, rf, T(ring, :));
  else
    imagesc(z, r, T);
  end
  set(ax1, 'ydir', 'normal', 'xlim', zlim, 'ylim', [-0.5 * ~metres, R]);
  colormap(jet(256));
  if ~isempty(crange)
    caxis(crange);
  end
  cb = colorbar();             % narrows the map; the panels below follow it
  ylabel(cb, 'temperature (degC)');
  hold on;
  isolines = {};
  for iso = {Ts, 'k-', 'solidus %g degC (black)'; Tl, 'k--', 'liquidus %g degC (black, dashed)'}'
    if isscalar(iso{1}) && isfinite(iso{1}) && ndr > 1 && ndz > 1 && ...
       min(T(:)) < iso{1} && iso{1} < max(T(:))
      isoline(z, r, T, iso{1}, iso{2});
      isolines{end+1} = sprintf(iso{3}, iso{1});
    end
  end
  top = R;
  [zb, eb] = boundaries(zones, elements, zlim);
  for a = zb
    plot([a a], [0 top], 'w-', 'linewidth', 1);
  end
  for a = eb
    plot([a a], [0 top], 'w--', 'linewidth', 1.5);
  end
  % Labels in 9 pt, placed apart from each other by their estimated size in
  % data units: a character 0.6 of the font's size wide, a line 1.2 high,
  % at the 100 dpi of the PNG.
  p1 = get(ax1, 'position');
  fpos = get(fig, 'position');
  em = 9 * 100 / 72;                           % pixels of a 9 pt font
  xunit = diff(zlim) / (p1(3) * fpos(3));      % data units of a pixel
  yunit = top / (p1(4) * fpos(4));
  % On the map: the markers of the control points, then the elements'
  % labels from the axis up, then the points' labels below their markers,
  % each in the first free place.
  taken = zeros(0, 4);                         % boxes [x0 x1 y0 y1] in use
  h = 1.2 * em * yunit;
  for k = 1:numel(points)
    pz = field(points{k}, 'z_m', NaN); pr = field(points{k}, 'r_m', NaN);
    taken(end+1, :) = [pz + [-1 1] * 4 * xunit, pr + [-1 1] * 4 * yunit];
  end
  for k = 1:numel(elements)
    a = field(elements{k}, 'from_m', NaN); b = field(elements{k}, 'to_m', NaN);
    label = sprintf('element %d: %g', k, field(elements{k}, 'htc_W_m2K', NaN));
    w = 0.6 * em * xunit * numel(label);
    c = min(max((a + b) / 2, zlim(1) + w / 2), zlim(2) - w / 2);
    boxes = [c - w / 2, c + w / 2] + zeros(6, 1);
    boxes(:, 3) = 0.02 * top + (0:5)' * h;
    boxes(:, 4) = boxes(:, 3) + h;
    [box, taken] = place(boxes, taken, zlim, top);
    text(mean(box(1:2)), mean(box(3:4)), label, 'horizontalalignment', 'center', ...
         'color', 'w', 'fontsize', 9);
  end
  for k = 1:numel(points)
    p = points{k};
    pz = field(p, 'z_m', NaN); pr = field(p, 'r_m', NaN);
    plot(pz, pr, 'ko', 'markerfacecolor', 'w', 'markersize', 6);
    label = sprintf('%g', field(p, 'target_degC', NaN));
    got = field(p, 'temperature_degC', NaN);
    if isfinite(got)
      label = sprintf('%s / %.0f', label, got);
    end
    w = 0.6 * em * xunit * (numel(label) + 1);
    % rows downward from below the marker, right of the point, then left
    y1 = pr - 6 * yunit - (0:5)' * h;
    boxes = [kron(y1, [1; 1]) - h, kron(y1, [1; 1])];
    boxes = [repmat([pz, pz + w; pz - w, pz], 6, 1), boxes];
    [box, taken] = place(boxes, taken, zlim, top);
    text(box(1) + 0.3 * em * xunit, box(4), label, 'color', 'w', 'fontsize', 9, ...
         'verticalalignment', 'top');
  end
  hold off;
  ylabel(rlab);
  % Above the map, each zone's name reads upwards from the end of a short
  % line that rises from the zone's start; names of zones shorter than a line
  % of text move right, in order, and their lines lean to them. The lines are
  % drawn in a band of their own above the map, which clips nothing.
  starts = [];
  names = {};
  for k = 1:numel(zones)
    a = field(zones{k}, 'from_m', NaN);
    if isfinite(a)
      starts(end+1) = a;
      names{end+1} = field(zones{k}, 'name', '');
    end
  end
  if ~isempty(starts)
    at = spread(starts - 0.5 * em * xunit, 1.1 * em * xunit, zlim);
    rise = 8 / fpos(4);
    axes('position', [p1(1), p1(2) + p1(4), p1(3), rise], 'visible', 'off', 'xlim', zlim, ...
         'ylim', [0 1]);
    hold on;
    for k = 1:numel(starts)
      foot = at(k) + 0.5 * em * xunit;           % the middle of the name's line
      plot([starts(k), foot], [0 1], '-', 'color', [0.4 0.4 0.4]);
      text(at(k), 1, names{k}, 'rotation', 90, 'horizontalalignment', 'left', ...
           'verticalalignment', 'top', 'fontsize', 9, 'interpreter', 'none');
    end
    hold off;
  end
  axes('position', [0 0.965 1 0.03], 'visible', 'off', 'xlim', [0 1], 'ylim', [0 1]);
  text(0.5, 0.5, sprintf('%s: temperature in angular sector 1 (axis at r = 0)', fname), ...
       'horizontalalignment', 'center', 'fontweight', 'bold', 'interpreter', 'none');
  heatmap = {};
  if ~isempty(isolines)
    heatmap{end+1} = ['isolines ' strjoin(isolines, ', ')];
  end
  if isstruct(info) && isfield(info, 'solidus_degC') && ~(isscalar(Ts) && isfinite(Ts))
    heatmap{end+1} = 'no melting range known';
  elseif isequal(field(info, 'estimated_solidus_liquidus', false), true)
    heatmap{end+1} = 'solidus and liquidus estimated from the material table';
  end
  if ~isempty(crange)
    heatmap{end+1} = sprintf('colours fixed to %g .. %g degC', crange(1), crange(2));
  end

  % (b) surface and axis temperature along the strand
  ax2 = axes('position', [p1(1) 0.43 p1(3) 0.16]);
  if ~isempty(strand)
    plot(strand.z_m, strand.surface_mean_degC, 'b-', 'linewidth', 1.5, ...
         strand.z_m, strand.axis_degC, 'r-', 'linewidth', 1.5);
    names = {'surface (mean over the sectors)', 'axis'};
    if any(strand.surface_max_degC - strand.surface_min_degC > 0.05)
      hold on;
      plot(strand.z_m, strand.surface_min_degC, 'b:');
      plot(strand.z_m, strand.surface_max_degC, 'b:', 'handlevisibility', 'off');
      names{end+1} = 'surface, coldest and hottest sector';
      hold off;
    end
  else
    plot(z, T(end, :), 'b-', 'linewidth', 1.5, z, T(1, :), 'r-', 'linewidth', 1.5);
    names = {'outer ring, sector 1', 'axis'};
  end
  grid on;
  set(ax2, 'xlim', zlim);
  mark(zb, eb);
  ylabel('temperature (degC)');
  legend(names, 'location', 'east');
  title('surface and axis temperature');

  % (c) thickness of the solid (solidus) and the mushy-zone front (liquidus)
  ax3 = axes('position', [p1(1) 0.20 p1(3) 0.16]);
  if ~isempty(strand)
    plot(strand.z_m, strand.shell_solidus_mm, 'k-', 'linewidth', 1.5, ...
         strand.z_m, strand.shell_liquidus_mm, 'k--', 'linewidth', 1.5);
    names = {'solidus shell', 'liquidus shell'};
    source = 'Strand.csv';
    if optimiser
      source = 'OptReport.json';
    end
  elseif metres && isscalar(Ts) && isscalar(Tl) && isfinite(Ts) && isfinite(Tl)
    plot(z, 1000 * shell(T, r, R, Ts), 'k-', 'linewidth', 1.5, ...
         z, 1000 * shell(T, r, R, Tl), 'k--', 'linewidth', 1.5);
    names = {'solidus shell', 'liquidus shell'};
    source = 'angular sector 1, between ring centres';
  else
    names = {};
  end
  set(ax3, 'xlim', zlim);
  if metres
    set(ax3, 'ylim', [0 1000 * R * 1.05]);
  end
  grid on;
  hold on;
  mark(zb, eb);
  mexit = field(info, 'mould_exit_m', NaN);
  smould = field(info, 'shell_at_mould_exit_mm', NaN);
  if metres && isscalar(mexit) && isscalar(smould) && isfinite(mexit) && isfinite(smould)
    plot(mexit, smould, 'bo', 'markerfacecolor', 'b');
    names{end+1} = sprintf('%.1f mm at the mould exit', smould);
  end
  crater = field(info, 'crater_end_m', NaN);
  if metres && isscalar(crater) && isfinite(crater)
    plot([crater crater], [0 1000 * R], 'r-', 'linewidth', 1.5);
    names{end+1} = sprintf('crater end %.2f m', crater);
  end
  hold off;
  xlabel(zlab);
  ylabel('shell (mm)');
  if isempty(names)
    title('shell thickness: no solidus and liquidus known, not shown');
  else
    legend(names, 'location', 'southeast');
    title(sprintf('shell thickness from the surface (%s)', source), 'interpreter', 'none');
  end

  % (d) the case in a few lines
  ax4 = axes('position', [0.03 0.005 0.94 0.12], 'visible', 'off', 'xlim', [0 1], 'ylim', [0 1]);
  lines = [wrap('heat map: ', heatmap), caption(info, zones, elements, points, optimiser)];
  for k = 1:numel(lines)     % a line each: gnuplot takes no line break in a label
    text(0, 1 - (k - 1) * min(0.16, 1 / numel(lines)), lines{k}, ...
         'verticalalignment', 'top', 'fontsize', 9, 'interpreter', 'none');
  end

  save_png(fig, pngname);
  printf('visualiseF: wrote %s\n', pngname);
  if headless
    close(fig);
  end
end

% The report as a struct, [] when it is missing or cannot be decoded.
function s = read_json(name)
  s = [];
  if exist(name, 'file') ~= 2 || exist('jsondecode') == 0
    return;
  end
  try
    s = jsondecode(fileread(name));
  catch
    printf('visualiseF: %s cannot be decoded; plotted without it\n', name);
    s = [];
  end
  if ~isstruct(s) || ~isscalar(s)
    s = [];
  end
end

% The optimiser report's strand (the columns of Strand.csv), [] unless it
% holds one value per slice in every column.
function s = report_strand(cols, ndz)
  s = [];
  names = {'z_m', 'surface_min_degC', 'surface_mean_degC', 'surface_max_degC', ...
           'axis_degC', 'shell_solidus_mm', 'shell_liquidus_mm'};
  if ~isstruct(cols)
    return;
  end
  for k = 1:numel(names)
    if ~isfield(cols, names{k}) || numel(cols.(names{k})) ~= ndz
      s = [];
      return;
    end
    x = cols.(names{k});
    if iscell(x)           % nulls (no melting range known) as NaN
      x = cellfun(@(v) ifelse_num(v), x);
    end
    s.(names{k}) = x(:);
  end
end

function x = ifelse_num(v)
  if isnumeric(v) && isscalar(v)
    x = v;
  else
    x = NaN;
  end
end

% Strand.csv as a struct of columns, [] unless it holds one row per slice.
function s = read_strand(name, ndz)
  s = [];
  cols = {'z_m', 'surface_min_degC', 'surface_mean_degC', 'surface_max_degC', ...
          'axis_degC', 'shell_solidus_mm', 'shell_liquidus_mm'};
  fid = fopen(name, 'r');
  if fid < 0
    return;
  end
  header = strtrim(fgetl(fid));
  fclose(fid);
  try
    m = dlmread(name, ',', 1, 0, 'emptyvalue', NaN);  % no shell without a melting range
  catch
    m = [];
  end
  heads = strsplit(header, ',');
  [found, at] = ismember(cols, heads);
  if ~all(found) || size(m, 1) ~= ndz || size(m, 2) < max(at)
    printf(['visualiseF: %s does not hold one row per slice with the expected columns; ', ...
            'not used\n'], name);
    return;
  end
  for k = 1:numel(cols)
    s.(cols{k}) = m(:, at(k));
  end
end

% A field of a struct, or the default when the struct or the field is
% missing or null.
function v = field(s, name, default)
  if isstruct(s) && isscalar(s) && isfield(s, name) && ~isempty(s.(name))
    v = s.(name);
  else
    v = default;
  end
end

% An array of JSON objects as a cell array of structs.
function c = as_list(x)
  if isstruct(x)
    c = num2cell(x(:))';
  elseif iscell(x)
    c = x(cellfun(@isstruct, x));
  else
    c = {};
  end
end

% Places for labels a `gap` wide, one at each of the ascending places `x`
% or, where they crowd, as close after it as the label before allows; the
% last ones move back left where they would run past the strand's end.
function at = spread(x, gap, zlim)
  at = x;
  at(1) = max(at(1), zlim(1));
  for k = 2:numel(at)
    at(k) = max(at(k), at(k - 1) + gap);
  end
  last = zlim(2) - gap;
  for k = numel(at):-1:1
    at(k) = min(at(k), last);
    last = at(k) - gap;
  end
end

% The first of the candidate label boxes (rows [x0 x1 y0 y1]) that lies on
% the map (x in zlim, y from 0 to top) and overlaps no box taken, else the
% one that overlaps them least; it is added to the boxes taken.
function [box, taken] = place(boxes, taken, zlim, top)
  best = Inf;
  for k = 1:rows(boxes)
    b = boxes(k, :);
    ox = max(0, min(b(2), taken(:, 2)) - max(b(1), taken(:, 1)));
    oy = max(0, min(b(4), taken(:, 4)) - max(b(3), taken(:, 3)));
    outside = max(0, zlim(1) - b(1)) + max(0, b(2) - zlim(2)) + max(0, -b(3)) + ...
              max(0, b(4) - top);
    cost = sum(ox .* oy) + outside * (b(4) - b(3) + b(2) - b(1));
    if cost < best
      best = cost;
      box = b;
    end
    if cost == 0
      break;
    end
  end
  taken(end+1, :) = box;
end

% The places where zones and elements begin and end, inside the strand.
function [zb, eb] = boundaries(zones, elements, zlim)
  zb = ends(zones, zlim);
  eb = setdiff(ends(elements, zlim), zb);
end

function b = ends(list, zlim)
  b = [];
  for k = 1:numel(list)
    b = [b, field(list{k}, 'from_m', NaN), field(list{k}, 'to_m', NaN)];
  end
  tol = 1e-6 * (zlim(2) - zlim(1));
  b = unique(b(isfinite(b) & b > zlim(1) + tol & b < zlim(2) - tol));
end

% Zone boundaries (grey) and element boundaries (magenta, dashed) across
% the current axes.
function mark(zb, eb)
  held = ishold();
  hold on;
  y = get(gca, 'ylim');
  for a = zb
    plot([a a], y, '-', 'color', [0.6 0.6 0.6], 'handlevisibility', 'off');
  end
  for a = eb
    plot([a a], y, 'm--', 'handlevisibility', 'off');
  end
  set(gca, 'ylim', y);
  if ~held
    hold off;
  end
end

% The isoline of T at `level`, one plotted line a piece; the handle of the
% first piece, for the legend, or [] when there is none.
function h = isoline(z, r, T, level, style)
  h = [];
  c = contourc(z, r, T, [level level]);
  k = 1;
  while k < size(c, 2)
    n = c(2, k);
    piece = plot(c(1, k+1:k+n), c(2, k+1:k+n), style, 'linewidth', 1.5);
    if isempty(h)
      h = piece;
    else
      set(piece, 'handlevisibility', 'off');
    end
    k = k + n + 1;
  end
end

% Depth below the surface (m) of the outermost point at `level` degC in every
% column, interpolated between ring centres: 0 where the outer ring is at or
% above it, R where the axis ring is below it.
function s = shell(T, r, R, level)
  [ndr, ndz] = size(T);
  s = zeros(1, ndz);
  for j = 1:ndz
    i = find(T(:, j) >= level, 1, 'last');
    if isempty(i)
      s(j) = R;
    elseif i == ndr
      s(j) = R - r(ndr);
    else
      f = (T(i, j) - level) / (T(i, j) - T(i + 1, j));
      s(j) = R - (r(i) + f * (r(i + 1) - r(i)));
    end
  end
end

% The case's key settings, a cell array of lines.
function lines = caption(info, zones, elements, points, optimiser)
  lines = {};
  bits = {};
  v = field(info, 'model', '');
  if ischar(v) && ~isempty(v)
    bits{end+1} = sprintf('%s time step', v);
  end
  numbers = {'casting_speed_m_min', 'casting speed %g m/min'; ...
             'casting_temperature_degC', 'casting temperature %g degC'; ...
             'superheat_K', 'superheat %g K'; 'strand_length_m', 'strand %.4g m'};
  for n = 1:rows(numbers)
    v = field(info, numbers{n, 1}, NaN);
    if isfinite(v)
      bits{end+1} = sprintf(numbers{n, 2}, v);
    end
  end
  lines = wrap('', bits);
  bits = {};
  for k = 1:numel(zones)
    zk = zones{k};
    htc = field(zk, 'htc_W_m2K', []);
    if isempty(htc)
      how = 'convection and radiation';
    else
      how = sprintf('%g', htc);
    end
    bits{end+1} = sprintf('%s %.4g-%.4g m: %s', field(zk, 'name', '?'), ...
                          field(zk, 'from_m', NaN), field(zk, 'to_m', NaN), how);
  end
  lines = [lines, wrap('zones, htc in W/(m2 K): ', bits)];
  bits = {};
  for k = 1:numel(elements)
    e = elements{k};
    bits{end+1} = sprintf('%d %.4g-%.4g m: %g', k, field(e, 'from_m', NaN), ...
                          field(e, 'to_m', NaN), field(e, 'htc_W_m2K', NaN));
  end
  lines = [lines, wrap('optimised elements (dashed bounds), htc in W/(m2 K): ', bits)];
  if ~isempty(points)
    lines{end+1} = ['control points (circles): target / ', ...
                    'computed temperature in degC at the point'];
  end
  bits = {};
  v = field(info, 'shell_at_mould_exit_mm', NaN);
  if isfinite(v)
    bits{end+1} = sprintf('shell at the mould exit %.1f mm', v);
  end
  % null without a melting range as well as beyond the strand
  if isfield(info, 'crater_end_m') && isscalar(field(info, 'solidus_degC', NaN)) && ...
     isfinite(field(info, 'solidus_degC', NaN))
    v = field(info, 'crater_end_m', NaN);
    if isfinite(v)
      bits{end+1} = sprintf('crater end %.2f m', v);
    else
      bits{end+1} = 'crater end beyond the strand';
    end
  end
  if ~isempty(bits)
    lines{end+1} = strjoin(bits, '; ');
  end
  if isempty(info)
    if optimiser
      lines = {'settings not shown: no readable OptReport.json beside the profile'};
    else
      lines = {'settings not shown: no readable Summary.json beside the profile'};
    end
  end
end

% Items joined after a lead, in lines of about 150 characters.
function lines = wrap(lead, items)
  lines = {};
  if isempty(items)
    return;
  end
  line = [lead items{1}];
  for k = 2:numel(items)
    if numel(line) + numel(items{k}) > 150
      lines{end+1} = [line ';'];
      line = ['    ' items{k}];
    else
      line = [line '; ' items{k}];
    end
  end
  lines{end+1} = line;
end

% The cooling table's zones against the casting speed, one panel for the
% zones given in l/min and one for those given in W/(m2 K).
function cooling_table(fname, png)
  fid = fopen(fname, 'r');
  header = strsplit(fgetl(fid), ',');
  fclose(fid);
  zones = find(strncmp(header, 'spray', 5));
  data = dlmread(fname, ',', 1, 0);
  v = data(:, 1);
  if isempty(getenv('DISPLAY'))
    warning('off', 'Octave:gnuplot-graphics');
    warning('off', 'print:nogs');      % PNG goes through gnuplot, not gs
    graphics_toolkit('gnuplot');
  end
  fig = figure('visible', 'off', 'position', [100 100 1000 450]);
  units = {'_water_l_min', 'water flow, l/min'; '_htc_W_m2K', 'htc, W/(m2 K)'};
  panels = 0;
  for u = 1:2
    cols = zones(~cellfun(@isempty, strfind(header(zones), units{u, 1})));
    if isempty(cols), continue; end
    panels = panels + 1;
    subplot(1, 2, panels);
    plot(v, data(:, cols), '-o');
    legend(strrep(strrep(header(cols), units{u, 1}, ''), 'spray', 'spray '), 'location', 'northwest');
    xlabel('casting speed, m/min'); ylabel(units{u, 2}); grid on;
  end
  save_png(fig, png);
end

% Writes the figure as a PNG of 100 dpi: through gnuplot's own PNG terminal
% under gnuplot, which needs no Ghostscript.
function save_png(fig, png)
  if strcmp(graphics_toolkit(fig), 'gnuplot')
    print(fig, png, '-dpngcairo', '-r100');
  else
    print(fig, png, '-dpng', '-r100');
  end
end
