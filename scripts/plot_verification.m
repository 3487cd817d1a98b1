function plot_verification(datafile, pngfile)
  % plot_verification(datafile, pngfile): draw the verification of the thermal
  % model against the exact cooling of a long bar from the data file that
  % tepora-verify writes (default verification.dat) into a PNG (default
  % docs/verification.png). Left: the finest grid's ring temperatures
  % (markers) on the exact profiles (lines) at every Fo. Right: centre and
  % surface errors against the number of rings, log-log, with a slope-2 line.
  if nargin < 1 || isempty(datafile)
    datafile = 'verification.dat';
  end
  if nargin < 2 || isempty(pngfile)
    pngfile = fullfile('docs', 'verification.png');
  end
  D = load('-ascii', datafile);
  kind = D(:, 1);
  Fos = unique(D(kind == 3, 3))';
  colours = [0 0.35 0.8; 0.85 0.33 0.1; 0.1 0.6 0.2; 0.5 0.2 0.6];

  if isempty(getenv('DISPLAY'))
    warning('off', 'Octave:gnuplot-graphics');
    warning('off', 'print:nogs');
  end
  graphics_toolkit('gnuplot');
  fig = figure('visible', 'off', 'position', [100 100 1200 500]);

  % (a) temperature against radius
  subplot(1, 2, 1);
  hold on;
  names = {};
  for f = 1:numel(Fos)
    c = colours(1 + mod(f - 1, rows(colours)), :);
    E = D(kind == 2 & abs(D(:, 3) - Fos(f)) < 1e-12, :);
    plot(E(:, 4), E(:, 5), '-', 'color', c, 'linewidth', 1.5);
    names{end + 1} = sprintf('exact, Fo = %.2f', Fos(f));
  end
  for f = 1:numel(Fos)
    c = colours(1 + mod(f - 1, rows(colours)), :);
    M = D(kind == 1 & abs(D(:, 3) - Fos(f)) < 1e-12, :);
    plot(M(:, 4), M(:, 5), 'o', 'color', c, 'markersize', 4);
  end
  plot(NaN, NaN, 'ko', 'markersize', 4);  % one legend entry for the model's markers
  names = [names, {'', '', ''}, {sprintf('model, %d rings', M(1, 2))}];
  hold off;
  grid on;
  xlabel('radius r / R (model: ring centres and the surface)');
  ylabel('temperature (degC)');
  legend(names, 'location', 'southwest');
  title('Cooling of a long bar, Bi = 5: model against exact solution');

  % (b) error against grid size
  subplot(1, 2, 2);
  names = {};
  first = true;
  for f = 1:numel(Fos)
    c = colours(1 + mod(f - 1, rows(colours)), :);
    G = D(kind == 3 & abs(D(:, 3) - Fos(f)) < 1e-12, :);
    loglog(G(:, 2), abs(G(:, 5)), '-o', 'color', c, 'linewidth', 1.2, ...
           G(:, 2), abs(G(:, 6)), '--s', 'color', c, 'linewidth', 1.2);
    if first
      hold on;
      first = false;
    end
    names{end + 1} = sprintf('centre, Fo = %.2f', Fos(f));
    names{end + 1} = sprintf('surface, Fo = %.2f', Fos(f));
  end
  G = D(kind == 3, :);
  n = unique(G(:, 2));
  top = max(max(abs(G(:, 5:6))));
  loglog(n, 2 * top * (n(1) ./ n) .^ 2, 'k:', 'linewidth', 1.5);
  names{end + 1} = 'slope 2';
  hold off;
  grid on;
  set(gca, 'xtick', n', 'xticklabel', arrayfun(@(k) sprintf('%d', k), n', 'uniformoutput', false));
  xlim([n(1) / 1.2, n(end) * 1.2]);
  xlabel('rings across the radius');
  ylabel('|model - exact| (K)');
  legend(names, 'location', 'southwest');
  title('Error against grid size');

  print(fig, pngfile, '-dpngcairo', '-r100');
  close(fig);
  printf('plot_verification: wrote %s\n', pngfile);
end
